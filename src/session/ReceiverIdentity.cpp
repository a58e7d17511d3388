#include "ReceiverIdentity.h"

#include "ByteText.h"
#include "CommandChannel.h"
#include "KnownModels.h"
#include "SerialPort.h"

namespace {

const QByteArray kModelKey = QByteArrayLiteral("Main.Model");

}  // namespace

ReceiverIdentity IdentifyReceiver(SerialPort& port, CommandChannel& channel,
                                  const QString& devicePath) {
    ReceiverIdentity identity;
    if (!port.Open(devicePath, SerialPort::kDefaultBaud))
        return identity;

    const QByteArray answer = channel.Query(kModelKey);
    const qsizetype equals = answer.indexOf('=');
    // "Timeout" and the empty answer of a refused write carry no "=".
    if (equals < 0) {
        port.Close();
        identity.outcome = ReceiverIdentity::Outcome::NoAnswer;
        return identity;
    }
    identity.model = TrimmedBytes(answer.mid(equals + 1));
    identity.modelBit = ModelBitOf(identity.model);
    identity.outcome = IsKnownModel(identity.model) ? ReceiverIdentity::Outcome::Known
                                                    : ReceiverIdentity::Outcome::UnknownModel;
    return identity;
}
