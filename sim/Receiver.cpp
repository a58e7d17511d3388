#include "Receiver.h"

#include "Tuner.h"
#include "ValueRules.h"

namespace {

QByteArray LineOf(const ReceiverState::Entry& entry) {
    return entry.key + '=' + entry.value;
}

bool IsKey(const QByteArray& key, const char* name) {
    return key.toUpper() == QByteArray(name).toUpper();
}

// "Tuner.Preset12" -> 12; 0 for anything else.
int StoredPresetNumber(const QByteArray& key) {
    const QByteArray prefix = "TUNER.PRESET";
    if (!key.toUpper().startsWith(prefix) || key.size() == prefix.size())
        return 0;
    bool ok = false;
    const int number = key.mid(prefix.size()).toInt(&ok);
    return ok ? number : 0;
}

}  // namespace

Receiver::Receiver(const QByteArray& model) : m_state(ReceiverState::ForModel(model)) {}

QList<QByteArray> Receiver::Handle(const QByteArray& command) {
    if (command.isEmpty())
        return {};
    const qsizetype equals = command.indexOf('=');
    if (equals > 0)
        return Set(command.left(equals), command.mid(equals + 1));
    if (equals == 0)
        return {};
    const char last = command.back();
    const QByteArray name = command.chopped(1);
    if (last == '?')
        return Query(name);
    if (last == '+' || last == '-')
        return Step(name, last == '+');
    return {};
}

QList<QByteArray> Receiver::Query(const QByteArray& name) {
    if (name.contains('.')) {
        const ReceiverState::Entry* entry = m_state.Find(name);
        return entry ? QList<QByteArray>{LineOf(*entry)} : QList<QByteArray>{};
    }
    QList<QByteArray> lines;
    if (IsKey(name, "Tuner")) {
        for (const char* key : kTunerStatusKeys)
            lines.append(LineOf(*m_state.Find(key)));
        return lines;
    }
    // Any other section reports every setting it holds.
    const QByteArray prefix = name.toUpper() + '.';
    for (const ReceiverState::Entry& entry : m_state.Entries()) {
        if (entry.key.toUpper().startsWith(prefix))
            lines.append(LineOf(entry));
    }
    return lines;
}

QList<QByteArray> Receiver::Set(const QByteArray& key, const QByteArray& value) {
    if (IsKey(key, "Main.IR"))
        return RemoteCode(value.trimmed());
    const ReceiverState::Entry* entry = m_state.Find(key);
    if (entry == nullptr)
        return {};
    const std::optional<QByteArray> held = Constrain(RuleFor(entry->key), value);
    if (IsKey(key, "Tuner.Band")) {
        m_changed = true;
        return Tuner::SelectBand(m_state, held.value_or(entry->value));
    }
    if (IsKey(key, "Tuner.Preset") && held) {
        m_changed = true;
        return Tuner::RecallPreset(m_state, held->toInt());
    }
    if (held)
        Store(entry->key, *held);
    return {LineOf(*entry)};
}

QList<QByteArray> Receiver::Step(const QByteArray& key, bool up) {
    const ReceiverState::Entry* entry = m_state.Find(key);
    if (entry == nullptr)
        return {};
    if (IsKey(key, "Tuner.Preset")) {
        m_changed = true;
        return Tuner::StepPreset(m_state, up);
    }
    const ValueRule& rule = RuleFor(entry->key);
    if (rule.kind == ValueKind::Number || rule.kind == ValueKind::Choice)
        Store(entry->key, StepValue(rule, entry->value, up));
    return {LineOf(*entry)};
}

// Remote-control codes the unit acts on; the others change nothing it reports.
QList<QByteArray> Receiver::RemoteCode(const QByteArray& code) {
    if (code != "211" && code != "212")
        return {};
    m_changed = true;
    return Tuner::Tune(m_state, code == "212");
}

QList<QByteArray> Receiver::FrontPanelChange(std::mt19937& random) {
    const std::vector<ReceiverState::Entry>& entries = m_state.Entries();
    std::uniform_int_distribution<std::size_t> pick(0, entries.size() - 1);
    // Most keys are changeable; a bounded number of draws finds one.
    for (int attempt = 0; attempt < 64; ++attempt) {
        const ReceiverState::Entry& entry = entries[pick(random)];
        if (StoredPresetNumber(entry.key) > 0 || IsKey(entry.key, "Tuner.Band"))
            continue;
        const std::optional<QByteArray> value = RandomValue(RuleFor(entry.key), random);
        if (!value)
            continue;
        Store(entry.key, *value);
        return {LineOf(entry)};
    }
    return {};
}

bool Receiver::Restore(const QByteArray& key, const QByteArray& value) {
    const ReceiverState::Entry* entry = m_state.Find(key);
    if (entry == nullptr)
        return false;
    const ValueRule& rule = RuleFor(entry->key);
    // Status texts (RDS, XM names) are the unit's own and come back as saved.
    const std::optional<QByteArray> held =
        rule.kind == ValueKind::ReadOnly && !IsKey(key, "Main.Model")
            ? std::optional<QByteArray>(value.left(64))
            : Constrain(rule, value);
    if (!held)
        return false;
    m_state.SetValue(entry->key, *held);
    return true;
}

bool Receiver::TakeChanged() {
    const bool changed = m_changed;
    m_changed = false;
    return changed;
}

void Receiver::Store(const QByteArray& key, const QByteArray& value) {
    if (m_state.Value(key) == value)
        return;
    m_state.SetValue(key, value);
    m_changed = true;
}
