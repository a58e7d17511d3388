#include "ValueCheck.h"

#include "BindingModel.h"
#include "BindingTable.h"
#include "ReceiverShape.h"
#include "SettingRanges.h"
#include "ValueLists.h"
#include "Windows1252.h"

#include <array>
#include <cmath>

namespace {

constexpr qsizetype kMaxValueBytes = 64;
// The receiver bounds trims itself; Home Assistant's number needs a range.
constexpr StepRange kTrimRange{-12, 12, 1};
constexpr int kTunerPresetCount = 40;

// The numbers the bridge announces, matched on the parameter (the key without
// its section) ignoring case; ranges are the console's where it has them.
struct RangeRow {
    const char* parameter;  // '*' at the end matches any rest
    StepRange range;
};
constexpr std::array kRangeTable = {
    RangeRow{"Volume", {kVolumeRange.minimum, kVolumeRange.maximum, 1}},
    RangeRow{"Trim.*", kTrimRange},
    RangeRow{"Source", {1, kSourceCount, 1}},
    RangeRow{"Bass", {-10, 10, 2}},
    RangeRow{"Treble", {-10, 10, 2}},
    RangeRow{"Preset", {1, kTunerPresetCount, 1}},
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

SetCheck CheckName(const QByteArray& payload, int maximumLength) {
    const QString name = QString::fromUtf8(payload);
    if (name.size() > maximumLength)
        return Refuse(QStringLiteral("a name takes at most %1 characters").arg(maximumLength));
    for (const QChar ch : name) {
        if (!IsWindows1252Printable(ch))
            return Refuse(QStringLiteral("the receiver cannot show the character \"%1\"").arg(ch));
    }
    return {ToWindows1252(name), {}};
}

SetCheck CheckChoice(const QStringList& stored, const QByteArray& payload) {
    QString wanted = QString::fromUtf8(payload.trimmed());
    long long number = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (const QString& choice : stored) {
            if (choice.compare(wanted, Qt::CaseInsensitive) == 0)
                return {choice.toLatin1(), {}};
        }
        // Home Assistant sends "4.0" for the tone level 4.
        if (pass > 0 || !ParseWhole(payload, &number))
            break;
        wanted = QString::number(number);
    }
    return Refuse(QStringLiteral("not one of %1").arg(stored.join(", ")));
}

SetCheck CheckNumber(const StepRange& range, bool bounded, const QByteArray& payload) {
    long long number = 0;
    if (!ParseWhole(payload, &number))
        return Refuse(QStringLiteral("not a whole number"));
    if (bounded && (number < range.minimum || number > range.maximum ||
                    (number - range.minimum) % range.step != 0)) {
        return Refuse(QStringLiteral("not a number from %1 to %2 in steps of %3")
                          .arg(range.minimum)
                          .arg(range.maximum)
                          .arg(range.step));
    }
    return {QByteArray::number(number), {}};
}

// A bound row's value, by the shape the binding model gives it.
SetCheck CheckShape(const SettingShape& shape, const QByteArray& payload) {
    switch (shape.kind) {
        case SettingShape::Kind::Choices:
        case SettingShape::Kind::Flag: {
            QStringList stored;
            for (const SettingChoice& choice : shape.choices)
                stored << QString::fromLatin1(choice.stored);
            return CheckChoice(stored, payload);
        }
        case SettingShape::Kind::Number:
            return CheckNumber({shape.minimum, shape.maximum, shape.step}, shape.bounded, payload);
        case SettingShape::Kind::Text:
            return CheckName(payload, shape.maximumLength);
    }
    return Refuse(QStringLiteral("no rule for this setting"));
}

}  // namespace

bool IsLineSafe(const QByteArray& text) {
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

bool RangeOf(const QByteArray& key, StepRange* range) {
    const QByteArray parameter = ParameterOf(key);
    for (const RangeRow& row : kRangeTable) {
        if (Matches(row.parameter, parameter)) {
            *range = row.range;
            return true;
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

SetCheck CheckSetValue(const BindingModel& binding, const QByteArray& key,
                       const QByteArray& payload) {
    if (!IsLineSafe(payload))
        return Refuse(QStringLiteral("the value holds a carriage return, line feed or NUL"));
    if (payload.size() > kMaxValueBytes)
        return Refuse(QStringLiteral("the value is longer than %1 bytes").arg(kMaxValueBytes));
    if (const BindingRow* row = RowOf(key); row != nullptr) {
        if (!binding.ModelHas(row->Key()))
            return Refuse(QStringLiteral("this model has no such control"));
        if (const std::optional<SettingShape> shape = binding.ShapeOf(row->Key()))
            return CheckShape(*shape, payload);
    }
    if (const QStringList choices = ChoicesOf(key); !choices.isEmpty())
        return CheckChoice(choices, payload);
    if (StepRange range; RangeOf(key, &range))
        return CheckNumber(range, true, payload);
    return {payload, {}};
}
