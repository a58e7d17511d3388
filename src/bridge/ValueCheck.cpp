#include "ValueCheck.h"

#include "QueryTables.h"
#include "Windows1252.h"

#include <cmath>

namespace {

constexpr qsizetype kMaxValueBytes = 64;

SetCheck Refuse(const QString& reason) {
    return {{}, reason};
}

// `text` in the receiver's code page, refused when a character has no
// printable place there (control bytes, XON/XOFF, ESC, most of Unicode).
SetCheck CheckText(const QByteArray& payload, int maximumLength) {
    const QString text = QString::fromUtf8(payload);
    if (text.size() > maximumLength)
        return Refuse(QStringLiteral("the value takes at most %1 characters").arg(maximumLength));
    for (const QChar ch : text) {
        if (IsWindows1252Printable(ch))
            continue;
        // A control character is named, not quoted: it would garble the message.
        const QString shown =
            ch.isPrint() ? QStringLiteral("\"%1\"").arg(ch)
                         : QStringLiteral("U+%1").arg(QString::number(ch.unicode(), 16)
                                                          .toUpper()
                                                          .rightJustified(4, QLatin1Char('0')));
        return Refuse(QStringLiteral("the receiver cannot show the character %1").arg(shown));
    }
    return {ToWindows1252(text), {}};
}

QString Scaled(long long scaled, int decimals) {
    return QString::number(static_cast<double>(scaled) / std::pow(10.0, decimals), 'f', decimals);
}

SetCheck CheckNumber(const KeyRule& rule, const QByteArray& payload) {
    long long number = 0;
    if (!ParseScaled(payload, rule.decimals, &number)) {
        return Refuse(rule.decimals == 0
                          ? QStringLiteral("not a whole number")
                          : QStringLiteral("not a number with %1 decimals").arg(rule.decimals));
    }
    if (number < rule.minimum || number > rule.maximum ||
        (number - rule.minimum) % rule.step != 0) {
        return Refuse(QStringLiteral("not a number from %1 to %2 in steps of %3")
                          .arg(Scaled(rule.minimum, rule.decimals),
                               Scaled(rule.maximum, rule.decimals),
                               Scaled(rule.step, rule.decimals)));
    }
    return {Scaled(number, rule.decimals).toLatin1(), {}};
}

SetCheck CheckChoice(const KeyRule& rule, const QByteArray& payload) {
    QByteArray wanted = payload.trimmed();
    for (int pass = 0; pass < 2; ++pass) {
        if (const int index = FindStoredValue(rule.choices, wanted); index >= 0)
            return {rule.choices[static_cast<std::size_t>(index)].stored, {}};
        // Home Assistant sends "4.0" for the tone level 4.
        long long number = 0;
        if (pass > 0 || !ParseScaled(payload, 0, &number))
            break;
        wanted = QByteArray::number(number);
    }
    QStringList stored;
    for (const ValueChoice& choice : rule.choices)
        stored << QString::fromLatin1(choice.stored);
    return Refuse(QStringLiteral("not one of %1").arg(stored.join(QStringLiteral(", "))));
}

SetCheck CheckRecord(const QByteArray& key, const QByteArray& payload, bool allowRaw) {
    if (!allowRaw)
        return Refuse(
            QStringLiteral("a preset record replaces a station whole: only with --allow-raw"));
    const QByteArray record = payload.trimmed();
    if (!TakenAsItStands(key, record))
        return Refuse(
            QStringLiteral("a preset record is %1 hexadecimal digits").arg(kPresetRecordLength));
    return {record.toUpper(), {}};
}

}  // namespace

bool IsLineSafe(const QByteArray& text) {
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

bool RangeOf(const QByteArray& key, WholeRange* range) {
    const KeyRule* rule = FindKeyRule(key);
    return rule != nullptr && WholeRangeOf(*rule, range);
}

QStringList ChoicesOf(const QByteArray& key) {
    QStringList choices;
    if (const KeyRule* rule = FindKeyRule(key); rule != nullptr && rule->kind == KeyKind::Choice) {
        for (const ValueChoice& choice : rule->choices)
            choices << QString::fromLatin1(choice.stored);
    }
    return choices;
}

bool IsRetainedState(const QByteArray& key) {
    return FindKeyRule(key) != nullptr;
}

bool IsSteppable(const QByteArray& key) {
    const KeyRule* rule = FindKeyRule(key);
    if (rule == nullptr)
        return false;
    const QByteArray parameter = QByteArray(rule->parameter);
    return (rule->sections & kTunerSection) != 0 || parameter == "Volume" || parameter == "Trim.*";
}

SetCheck CheckSetValue(const QByteArray& key, const QByteArray& payload,
                       const SetContext& context) {
    if (!IsLineSafe(payload))
        return Refuse(QStringLiteral("the value holds a carriage return, line feed or NUL"));
    if (payload.size() > kMaxValueBytes)
        return Refuse(QStringLiteral("the value is longer than %1 bytes").arg(kMaxValueBytes));
    const qsizetype dot = key.indexOf('.');
    const std::uint32_t models = ModelsWithParameter(key.mid(dot + 1).constData());
    if ((context.modelBit & models) != context.modelBit)
        return Refuse(QStringLiteral("this model has no such control"));
    const KeyRule* rule = FindKeyRule(key);
    if (rule == nullptr)
        return CheckText(payload, kMaxValueBytes);
    switch (rule->kind) {
        case KeyKind::Choice:
            return CheckChoice(*rule, payload);
        case KeyKind::Number:
            return CheckNumber(*rule, payload);
        case KeyKind::Text:
            return CheckText(payload, rule->maxLength);
        case KeyKind::Record:
            return CheckRecord(key, payload, context.allowRaw);
        case KeyKind::Status:
            break;
    }
    return Refuse(QStringLiteral("the receiver reports this setting; it takes no value"));
}
