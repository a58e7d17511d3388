#include "ReceiverState.h"

#include "DefaultSettings.h"
#include "KnownModels.h"
#include "QueryTables.h"
#include "ValueRules.h"

#include <utility>

const std::vector<const char*> kTunerStatusKeys = {
    "Tuner.Band",           "Tuner.FM.Frequency", "Tuner.AM.Frequency", "Tuner.XM.Channel",
    "Tuner.XM.ChannelName", "Tuner.Preset",       "Tuner.FM.Mute",      "Tuner.FM.RDSName",
    "Tuner.FM.RDSText",     "Tuner.XM.Name",      "Tuner.XM.Title",
};

namespace {

struct SeedValue {
    const char* key;
    const char* value;
};

// Values a unit fresh from the shop holds where the default lines say nothing,
// and a few stored stations so that the tuner has something to show: FM with
// names (one muted), AM, XM.
const std::vector<SeedValue> kSeedValues = {
    {"Main.IR.Channel", "0"},
    {"Tuner.Preset1", "01AC07004A415A5A0000000000000000FFFFFFFFFFFFFFFF"},  // FM 87.50 JAZZ
    {"Tuner.Preset2", "01800801524F434B0000000000000000FFFFFFFFFFFFFFFF"},  // FM 98.10 ROCK
    {"Tuner.Preset3", "00910054414C4B0000000000000000FFFFFFFFFFFFFFFFFF"},  // AM 1000 TALK
    {"Tuner.Preset4", "007000574F52000000000000000000FFFFFFFFFFFFFFFFFF"},  // AM 670 WOR
    {"Tuner.Preset5", "030C000000000000000000000000FFFFFFFFFFFFFFFFFFFF"},  // XM 12
    {"Tuner.Preset6", "03144E4557530000000000000000FFFFFFFFFFFFFFFFFFFF"},  // XM 20 NEWS
    {"Tuner.Band", "FM"},
    {"Tuner.FM.Frequency", "87.50"},
    {"Tuner.AM.Frequency", "1000"},
    {"Tuner.XM.Channel", "12"},
    {"Tuner.XM.ChannelName", "JAZZ"},
    {"Tuner.Preset", "1"},
    {"Tuner.FM.Mute", "Off"},
    {"Tuner.FM.RDSName", "JAZZ FM"},
    {"Tuner.FM.RDSText", "Blue Harbour - The Corner Trio"},
    {"Tuner.XM.Name", "The Corner Trio"},
    {"Tuner.XM.Title", "Blue Harbour"},
};

std::uint32_t ModelBitIgnoringCase(const QByteArray& model) {
    const QByteArray wanted = model.trimmed().toUpper();
    for (const KnownModel& row : kKnownModels) {
        if (wanted == row.name)
            return row.modelBit;
    }
    return 0;
}

// A key of the catalogue that the model lacks ("Main.SpeakerA" on a ZA08).
bool IsLackedByModel(const QByteArray& key, std::uint32_t modelBit) {
    if (modelBit == 0)
        return false;
    const qsizetype dot = key.indexOf('.');
    const QByteArray section = key.left(dot).toUpper();
    const QByteArray parameter = key.mid(dot + 1).toUpper();
    for (const QuerySection& querySection : kQuerySections) {
        if (section != querySection.name)
            continue;
        for (const QueryParameter& queryParameter : kQueryParameters) {
            if (QByteArray(queryParameter.name).toUpper() == parameter &&
                (queryParameter.sectionMask & querySection.bit) != 0) {
                return (queryParameter.modelMask & modelBit) == 0;
            }
        }
    }
    return false;
}

// What a key without a default holds: the same parameter's Main default where
// there is one (Audyssey.Level.Left takes Main.Level.Left), else the first value
// of its vocabulary.
QByteArray PlausibleValue(const ReceiverState& state, const QByteArray& section,
                          const QByteArray& parameter) {
    if (const ReceiverState::Entry* main = state.Find("Main." + parameter))
        return main->value;
    const ValueRule& rule = RuleFor(section + '.' + parameter);
    if (rule.kind == ValueKind::Choice)
        return QByteArray(rule.choices).split('|').first();
    if (rule.kind == ValueKind::Number) {
        const long long zeroOrLowest = rule.minimum > 0 ? rule.minimum : 0;
        return FormatScaled(zeroOrLowest, rule.decimals);
    }
    if (rule.kind == ValueKind::Record)
        return QByteArray(48, 'F');
    return {};
}

}  // namespace

QByteArray SectionSpelling(const char* upperSection) {
    const QByteArray upper(upperSection);
    return upper.left(1) + upper.mid(1).toLower();
}

ReceiverState ReceiverState::ForModel(const QByteArray& model) {
    const std::uint32_t modelBit = ModelBitIgnoringCase(model);
    ReceiverState state;
    state.Add("Main.Model", model);
    for (const QByteArray& line : DefaultLines()) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = line.left(equals);
        if (!IsLackedByModel(key, modelBit))
            state.Add(key, line.mid(equals + 1));
    }
    for (const QuerySection& section : kQuerySections) {
        const QByteArray spelled = SectionSpelling(section.name);
        for (const QueryParameter& parameter : kQueryParameters) {
            const bool asked = modelBit == 0 ? (parameter.sectionMask & section.bit) != 0
                                             : IsQueried(section, parameter, modelBit);
            const QByteArray key = spelled + '.' + parameter.name;
            if (asked && state.Find(key) == nullptr)
                state.Add(key, PlausibleValue(state, spelled, parameter.name));
        }
    }
    for (const char* key : kTunerStatusKeys)
        state.Add(key, {});
    for (const SeedValue& seed : kSeedValues)
        state.SetValue(seed.key, seed.value);
    return state;
}

const ReceiverState::Entry* ReceiverState::Find(const QByteArray& key) const {
    const auto found = m_indexByUpperKey.constFind(key.toUpper());
    return found == m_indexByUpperKey.cend() ? nullptr : &m_entries[found.value()];
}

bool ReceiverState::SetValue(const QByteArray& key, const QByteArray& value) {
    const auto found = m_indexByUpperKey.constFind(key.toUpper());
    if (found == m_indexByUpperKey.cend())
        return false;
    m_entries[found.value()].value = value;
    return true;
}

QByteArray ReceiverState::Value(const QByteArray& key) const {
    const Entry* entry = Find(key);
    return entry ? entry->value : QByteArray();
}

void ReceiverState::Add(const QByteArray& key, const QByteArray& value) {
    const QByteArray upper = key.toUpper();
    if (m_indexByUpperKey.contains(upper))
        return;
    m_indexByUpperKey.insert(upper, m_entries.size());
    m_entries.push_back({key, value});
}
