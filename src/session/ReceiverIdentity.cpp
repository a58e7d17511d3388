#include "ReceiverIdentity.h"

#include "ByteText.h"
#include "CommandChannel.h"
#include "Completion.h"
#include "KnownModels.h"
#include "SerialPort.h"

namespace {

const QByteArray kModelQuery = QByteArrayLiteral("Main.Model?");

}  // namespace

QCoro::Task<ReceiverIdentity> IdentifyReceiver(SerialPort& port, CommandChannel& channel,
                                               QString devicePath, std::stop_token stop) {
    ReceiverIdentity identity;
    if (!co_await Opened(port, devicePath, SerialPort::kDefaultBaud)) {
        if (stop.stop_requested())
            identity.outcome = ReceiverIdentity::Outcome::Stopped;
        co_return identity;
    }
    if (stop.stop_requested()) {
        port.Close();
        identity.outcome = ReceiverIdentity::Outcome::Stopped;
        co_return identity;
    }

    const CommandChannel::Reply reply =
        co_await Asked(channel, CommandChannel::Kind::Query, kModelQuery, stop);
    const QByteArray answer = reply.Text();
    const qsizetype equals = answer.indexOf('=');
    // "Timeout" and the empty answer of a closed port carry no "=".
    if (equals < 0 || stop.stop_requested()) {
        port.Close();
        identity.outcome = stop.stop_requested() ? ReceiverIdentity::Outcome::Stopped
                                                 : ReceiverIdentity::Outcome::NoAnswer;
        co_return identity;
    }
    identity.model = TrimmedBytes(answer.mid(equals + 1));
    identity.modelBit = ModelBitOf(identity.model);
    identity.outcome = IsKnownModel(identity.model) ? ReceiverIdentity::Outcome::Known
                                                    : ReceiverIdentity::Outcome::UnknownModel;
    co_return identity;
}
