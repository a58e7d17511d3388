#include "ValueCheck.h"

#include "BindingTable.h"
#include "ReceiverShape.h"
#include "ValueLists.h"
#include "Windows1252.h"

#include <array>
#include <cmath>

namespace {

// The source and preset name fields take 12 characters.
constexpr int kNameMaxLength = 12;
constexpr qsizetype kMaxValueBytes = 64;

// Controls without a row of their own in the binding table, matched on the
// parameter (the key without its section) ignoring case. Ranges are those of
// the console's fields.
struct RangeRow {
    const char* parameter;  // '*' at the end matches any rest
    NumberRange range;
};
constexpr std::array kRangeTable = {
    RangeRow{"Volume", {-72, 16, 1}},         RangeRow{"VolumeFixed", {-72, 16, 1}},
    RangeRow{"Trim.*", {-12, 12, 1}},         RangeRow{"Level.*", {-12, 12, 1}},
    RangeRow{"Distance.UOM", {0, 0, 0}},      RangeRow{"Distance.*", {0, 30, 1}},
    RangeRow{"LipSyncDelay", {0, 120, 1}},    RangeRow{"Trigger*.Delay", {0, 15, 1}},
    RangeRow{"Source", {1, kSourceCount, 1}}, RangeRow{"Bass", {-10, 10, 2}},
    RangeRow{"Treble", {-10, 10, 2}},         RangeRow{"CenterDialog", {-10, 10, 2}},
    RangeRow{"Preset", {1, 40, 1}},
};

constexpr std::array<ValueChoice, 3> kTunerBands{
    {{0, "AM", "AM"}, {1, "FM", "FM"}, {2, "XM", "XM"}}};

struct ChoiceRow {
    const char* parameter;
    ValueList list;
};
// Zone power and mute are not on a page (the Control page is the main zone's).
const std::array kChoiceTable = {
    ChoiceRow{"Power", ValueList(kOnOff)},
    ChoiceRow{"Mute", ValueList(kOnOff)},
    ChoiceRow{"Band", ValueList(kTunerBands)},
};

QByteArray ParameterOf(const QByteArray& key) {
    const qsizetype dot = key.indexOf('.');
    return dot < 0 ? key : key.mid(dot + 1);
}

bool Matches(const char* pattern, const QByteArray& parameter) {
    const QByteArray wanted(pattern);
    const qsizetype star = wanted.indexOf('*');
    if (star < 0)
        return parameter.compare(wanted, Qt::CaseInsensitive) == 0;
    const QByteArray head = wanted.left(star);
    const QByteArray tail = wanted.mid(star + 1);
    return parameter.size() >= head.size() + tail.size() &&
           parameter.left(head.size()).compare(head, Qt::CaseInsensitive) == 0 &&
           parameter.right(tail.size()).compare(tail, Qt::CaseInsensitive) == 0;
}

const BindingRow* RowOf(const QByteArray& key) {
    for (const BindingRow& row : kBindingTable) {
        if (row.Key().compare(key, Qt::CaseInsensitive) == 0)
            return &row;
    }
    return nullptr;
}

ValueList ListOf(const QByteArray& key) {
    if (const BindingRow* row = RowOf(key); row != nullptr && row->values != nullptr)
        return row->Choices();
    const QByteArray parameter = ParameterOf(key);
    for (const ChoiceRow& choice : kChoiceTable) {
        if (Matches(choice.parameter, parameter))
            return choice.list;
    }
    return {};
}

// "-35", "+4" and Home Assistant's "-35.0" are whole numbers; "4.5" is not.
bool ParseWhole(const QByteArray& text, long long* number) {
    bool ok = false;
    const double parsed = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed) || std::floor(parsed) != parsed || std::fabs(parsed) > 1e6)
        return false;
    *number = static_cast<long long>(parsed);
    return true;
}

SetCheck Refuse(const QString& reason) {
    return {{}, reason};
}

SetCheck CheckName(const QByteArray& payload) {
    const QString name = QString::fromUtf8(payload);
    if (name.size() > kNameMaxLength)
        return Refuse(QStringLiteral("a name takes at most %1 characters").arg(kNameMaxLength));
    for (const QChar ch : name) {
        if (!IsWindows1252Printable(ch))
            return Refuse(QStringLiteral("the receiver cannot show the character \"%1\"").arg(ch));
    }
    return {ToWindows1252(name), {}};
}

SetCheck CheckChoice(ValueList list, const QByteArray& payload) {
    int found = FindStoredValue(list, payload.trimmed());
    long long number = 0;
    if (found < 0 && ParseWhole(payload, &number))
        found = FindStoredValue(list, QByteArray::number(number));
    if (found >= 0)
        return {list[static_cast<std::size_t>(found)].stored, {}};
    QStringList choices;
    for (const ValueChoice& choice : list)
        choices << QString::fromLatin1(choice.stored);
    return Refuse(QStringLiteral("not one of %1").arg(choices.join(", ")));
}

SetCheck CheckNumber(const NumberRange& range, const QByteArray& payload) {
    long long number = 0;
    if (!ParseWhole(payload, &number))
        return Refuse(QStringLiteral("not a whole number"));
    if (number < range.minimum || number > range.maximum ||
        (number - range.minimum) % range.step != 0) {
        return Refuse(QStringLiteral("not a number from %1 to %2 in steps of %3")
                          .arg(range.minimum)
                          .arg(range.maximum)
                          .arg(range.step));
    }
    return {QByteArray::number(number), {}};
}

}  // namespace

bool IsLineSafe(const QByteArray& text) {
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

bool RangeOf(const QByteArray& key, NumberRange* range) {
    const QByteArray parameter = ParameterOf(key);
    for (const RangeRow& row : kRangeTable) {
        if (Matches(row.parameter, parameter)) {
            *range = row.range;
            return row.range.step > 0;
        }
    }
    return false;
}

QStringList ChoicesOf(const QByteArray& key) {
    QStringList choices;
    for (const ValueChoice& choice : ListOf(key))
        choices << QString::fromLatin1(choice.stored);
    return choices;
}

bool IsSteppable(const QByteArray& key) {
    const QByteArray parameter = ParameterOf(key);
    return key.startsWith("Tuner.") || key.startsWith("TUNER.") || Matches("Volume", parameter) ||
           Matches("Trim.*", parameter);
}

SetCheck CheckSetValue(const QByteArray& key, const QByteArray& payload, std::uint32_t modelBit) {
    if (!IsLineSafe(payload))
        return Refuse(QStringLiteral("the value holds a carriage return, line feed or NUL"));
    if (payload.size() > kMaxValueBytes)
        return Refuse(QStringLiteral("the value is longer than %1 bytes").arg(kMaxValueBytes));
    const BindingRow* row = RowOf(key);
    // A control the model lacks (ModelBit 0 means the model check could not tell).
    if (row != nullptr && modelBit != 0 && (modelBit & row->modelMask) != modelBit)
        return Refuse(QStringLiteral("this model has no such control"));
    if (row != nullptr &&
        (row->kind == BindingKind::SourceName || row->kind == BindingKind::PresetName))
        return CheckName(payload);
    if (const ValueList list = ListOf(key); !list.empty())
        return CheckChoice(list, payload);
    if (NumberRange range; RangeOf(key, &range))
        return CheckNumber(range, payload);
    return {payload, {}};
}
