#include "CompareModel.h"

#include "BindingModel.h"
#include "ByteText.h"
#include "CommandChannel.h"
#include "SessionState.h"
#include "SettingsStore.h"
#include "TunerSettings.h"
#include "Windows1252.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace {

struct PageName {
    PageIndex page;
    const char* title;
};

// The bound pages in the window's tab order.
constexpr PageName kPageTitles[] = {
    {PageIndex::Source, "Source"},   {PageIndex::Amplifier, "Amplifier"},
    {PageIndex::Display, "Display"}, {PageIndex::ListeningMode, "Listening Mode"},
    {PageIndex::Speaker, "Speaker"}, {PageIndex::Trigger, "Trigger"},
    {PageIndex::Zone, "Zone"},       {PageIndex::AvPreset, "A/V Preset"},
    {PageIndex::Control, "Control"},
};
// The Tuner tab follows them; "Other" comes last.
constexpr int kTunerOrder = static_cast<int>(std::size(kPageTitles));
constexpr int kOtherOrder = kTunerOrder + 1;

int TabOrderOf(PageIndex page) {
    for (int i = 0; i < kTunerOrder; ++i) {
        if (kPageTitles[i].page == page)
            return i;
    }
    return kOtherOrder;
}

// A source's input format key and the input row that shows it with its input.
struct FormatOfInput {
    const char* format;
    const char* input;
};
constexpr FormatOfInput kInputFormats[] = {
    {"AnalogAudioFormat", "AnalogAudioInput"},
    {"DigitalAudioFormat", "DigitalAudioInput"},
    {"VideoFormat", "VideoInput"},
};

const QHash<QByteArray, const BindingRow*>& RowsByUpperKey() {
    static const QHash<QByteArray, const BindingRow*> rows = [] {
        QHash<QByteArray, const BindingRow*> byKey;
        for (const BindingRow& row : kBindingTable) {
            const QByteArray key = UpperAscii(row.Key());
            if (!byKey.contains(key))
                byKey.insert(key, &row);
        }
        return byKey;
    }();
    return rows;
}

QString DefaultLabel(const BindingRow& row) {
    return QString::fromLatin1(row.parameter).replace(QLatin1Char('.'), QLatin1Char(' '));
}

// Whether a restore sends the file line, and its key and value, trimmed.
bool IsRestoredLine(const QByteArray& line, QByteArray* key, QByteArray* value) {
    if (!IsSettingLine(line) || !CommandChannel::Unsendable(line).isEmpty())
        return false;
    SplitLine(line, key, value);
    *key = TrimmedBytes(*key);
    *value = TrimmedBytes(*value);
    return true;
}

// What the receiver said of each key (its first line), trimmed, by the key
// in capitals.
QHash<QByteArray, QByteArray> SaidValues(const SettingsStore& receiver) {
    QHash<QByteArray, QByteArray> said;
    for (const QByteArray& line : receiver.Lines()) {
        QByteArray key;
        QByteArray value;
        if (SplitLine(line, &key, &value)) {
            const QByteArray upper = UpperAscii(TrimmedBytes(key));
            if (!said.contains(upper))
                said.insert(upper, TrimmedBytes(value));
        }
    }
    return said;
}

// The store's confirmed lines alone: the pages' rules read values through
// GetValue, which answers a value still in flight first.
SettingsStore ConfirmedCopy(const SettingsStore& store) {
    SettingsStore confirmed;
    for (const QByteArray& line : store.Lines())
        confirmed.Append(line);
    return confirmed;
}

QString RawText(const std::optional<QByteArray>& value) {
    return value ? FromWindows1252(*value) : CompareModel::kMissing;
}

// The value as the row shows it from `store` in `view`: an entry's text for a
// list, the text itself otherwise. A key the store spells in other capitals
// than the page asks for is shown from `raw`, the value the comparison found.
QString ShownText(const SettingsStore& store, const BindingRow& row, int view,
                  std::uint32_t modelBit, const std::optional<QByteArray>& raw) {
    SessionState state;
    state.viewIndex = view;
    state.modelBit = modelBit;
    const BindingModel model(store, state);
    if (row.valueCount > 0) {
        if (const ValueChoice* entry = model.ShownChoice(row))
            return QString::fromLatin1(entry->shown);
    }
    if (const std::optional<QByteArray> value = model.ShownValue(row))
        return FromWindows1252(*value);
    if (!raw)
        return CompareModel::kMissing;
    const int position = FindStoredValue(row.Choices(), *raw);
    return position >= 0 ? QString::fromLatin1(row.values[position].shown) : FromWindows1252(*raw);
}

bool Before(const CompareRow& a, const CompareRow& b, CompareModel::Column column) {
    switch (column) {
        case CompareModel::Column::Page:
            return false;  // table order within the page
        case CompareModel::Column::Setting:
            return a.label.compare(b.label, Qt::CaseInsensitive) < 0;
        case CompareModel::Column::File:
            return a.fileText.compare(b.fileText, Qt::CaseInsensitive) < 0;
        case CompareModel::Column::Receiver:
            return a.receiverText.compare(b.receiverText, Qt::CaseInsensitive) < 0;
    }
    return false;
}

}  // namespace

QString PageTitle(PageIndex page) {
    const int order = TabOrderOf(page);
    return order < kTunerOrder ? QString::fromLatin1(kPageTitles[order].title)
                               : CompareModel::kOther;
}

std::vector<const BindingRow*> RowsShowing(const QByteArray& key, int* view) {
    *view = 0;
    const QByteArray upper = UpperAscii(key);
    const auto& rows = RowsByUpperKey();
    if (const BindingRow* row = rows.value(upper, nullptr))
        return {row};
    const qsizetype dot = upper.indexOf('.');
    if (dot < 0)
        return {};
    const QByteArray section = upper.left(dot);
    const QByteArray parameter = key.mid(dot + 1);
    // "Preset3.Bass": the Bass row, in the view of A/V preset 3.
    if (section.size() == 7 && section.startsWith("PRESET") && section[6] >= '1' &&
        section[6] <= '0' + kAvPresetCount) {
        *view = section[6] - '0';
        const BindingRow* row = rows.value("MAIN." + UpperAscii(parameter), nullptr);
        if (row != nullptr && row->presetGroup != PresetGroup::None)
            return {row};
        // "Preset3.Speaker.Front": the front size and crossover rows.
        std::vector<const BindingRow*> spelled = RowsSpelledInPresetAs(parameter);
        if (!spelled.empty())
            return spelled;
        *view = 0;
    }
    for (const FormatOfInput& pair : kInputFormats) {
        if (EqualsIgnoringCase(parameter, pair.format)) {
            if (const BindingRow* row = rows.value(section + '.' + UpperAscii(pair.input)))
                return {row};
        }
    }
    return {};
}

QString CompareRow::Spoken() const {
    return QStringLiteral("%1, %2: file %3, receiver %4").arg(page, label, fileText, receiverText);
}

CompareModel::CompareModel(ControlLabels labels) : m_labels(std::move(labels)) {}

void CompareModel::Compare(const SettingsStore& file, const SettingsStore& receiver,
                           std::uint32_t modelBit) {
    QSet<QByteArray> checked;
    for (const CompareRow& row : m_rows) {
        if (row.checked)
            checked.insert(UpperAscii(row.key));
    }
    m_rows.clear();
    const SettingsStore confirmed = ConfirmedCopy(receiver);
    const QHash<QByteArray, QByteArray> said = SaidValues(confirmed);
    QSet<QByteArray> seen;
    for (const QByteArray& line : file.Lines()) {
        QByteArray key;
        QByteArray fileValue;
        if (!IsRestoredLine(line, &key, &fileValue))
            continue;
        // Of a key the file sets twice, the first line counts, as the pages read it.
        const QByteArray upper = UpperAscii(key);
        if (seen.contains(upper))
            continue;
        seen.insert(upper);
        std::optional<QByteArray> receiverValue;
        if (const auto found = said.constFind(upper); found != said.constEnd()) {
            if (EqualsIgnoringCase(*found, fileValue))
                continue;
            receiverValue = *found;
        }

        CompareRow row;
        row.key = key;
        row.fileLine = line;
        row.checked = checked.contains(upper);
        int view = 0;
        const std::vector<const BindingRow*> bound = RowsShowing(key, &view);
        if (!bound.empty()) {
            DescribeBound(row, bound, view, file, confirmed, modelBit, fileValue, receiverValue);
        } else if (const auto tuner = TunerSettings::Describe(key)) {
            row.pageOrder = kTunerOrder;
            row.tableOrder = tuner->order;
            row.page = TunerSettings::kPageTitle;
            row.label = tuner->label;
            row.fileText = tuner->text(fileValue, file.GetValue("Tuner.AMStep"));
            row.receiverText = receiverValue
                                   ? tuner->text(*receiverValue, confirmed.GetValue("Tuner.AMStep"))
                                   : kMissing;
        } else {
            row.pageOrder = kOtherOrder;
            row.page = kOther;
            row.label = FromWindows1252(key);
            row.fileText = FromWindows1252(fileValue);
            row.receiverText = RawText(receiverValue);
        }
        m_rows.push_back(std::move(row));
    }
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const CompareRow& a, const CompareRow& b) {
        return a.pageOrder != b.pageOrder ? a.pageOrder < b.pageOrder : a.tableOrder < b.tableOrder;
    });
}

void CompareModel::DescribeBound(CompareRow& row, const std::vector<const BindingRow*>& bound,
                                 int view, const SettingsStore& file, const SettingsStore& receiver,
                                 std::uint32_t modelBit, const QByteArray& fileValue,
                                 const std::optional<QByteArray>& receiverValue) const {
    const BindingRow& first = *bound.front();
    row.pageOrder = TabOrderOf(first.page);
    row.tableOrder = static_cast<int>(&first - kBindingTable.data()) * (kAvPresetCount + 1) + view;
    row.page = PageTitle(first.page);
    // A preset's joined speaker value is one line for two controls: both are named.
    const bool joined = view > 0 && !UpperAscii(row.key).endsWith(UpperAscii(first.parameter));
    QStringList labels;
    QStringList fileTexts;
    QStringList receiverTexts;
    for (const BindingRow* shown : bound) {
        const QString label = m_labels ? m_labels(*shown) : QString();
        labels << (label.isEmpty() ? DefaultLabel(*shown) : label);
        const PresetSpelling* spelling = joined ? PresetSpellingOf(*shown) : nullptr;
        const JoinedPart part = spelling != nullptr ? spelling->part : JoinedPart::Whole;
        fileTexts << ShownText(file, *shown, view, modelBit, JoinedPartOf(fileValue, part));
        receiverTexts << ShownText(
            receiver, *shown, view, modelBit,
            receiverValue ? std::optional(JoinedPartOf(*receiverValue, part)) : std::nullopt);
    }
    const QString separator = QStringLiteral(" / ");
    row.label = labels.join(separator);
    if (!EqualsIgnoringCase(first.Key(), row.key) && view == 0)
        row.label += QStringLiteral(" (format)");
    if (view > 0)
        row.label += QStringLiteral(" (A/V Preset %1)").arg(view);
    row.fileText = fileTexts.join(separator);
    row.receiverText = receiverTexts.join(separator);
    // Two values may show alike (an input behind an "Off" format); say what differs.
    if (row.fileText == row.receiverText) {
        row.fileText += QStringLiteral(" [%1]").arg(FromWindows1252(fileValue));
        row.receiverText += QStringLiteral(" [%1]").arg(RawText(receiverValue));
    }
}

void CompareModel::SortBy(Column column, bool ascending) {
    m_sortColumn = column;
    m_ascending = ascending;
}

bool CompareModel::Matches(const CompareRow& row) const {
    if (m_filter.isEmpty())
        return true;
    const QString key = QString::fromLatin1(row.key);
    for (const QString* text : {&row.page, &row.label, &key, &row.fileText, &row.receiverText}) {
        if (text->contains(m_filter, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

std::vector<int> CompareModel::Shown() const {
    std::vector<int> shown;
    for (int i = 0; i < RowCount(); ++i) {
        if (Matches(m_rows[static_cast<std::size_t>(i)]))
            shown.push_back(i);
    }
    const bool pagesReversed = m_sortColumn == Column::Page && !m_ascending;
    std::stable_sort(shown.begin(), shown.end(), [this, pagesReversed](int a, int b) {
        const CompareRow& left = m_rows[static_cast<std::size_t>(a)];
        const CompareRow& right = m_rows[static_cast<std::size_t>(b)];
        if (left.pageOrder != right.pageOrder)
            return pagesReversed ? left.pageOrder > right.pageOrder
                                 : left.pageOrder < right.pageOrder;
        return m_ascending ? Before(left, right, m_sortColumn) : Before(right, left, m_sortColumn);
    });
    return shown;
}

bool CompareModel::SetChecked(int position, bool checked) {
    if (position < 0 || position >= RowCount())
        return false;
    m_rows[static_cast<std::size_t>(position)].checked = checked;
    return true;
}

void CompareModel::CheckShown(bool checked) {
    for (int position : Shown())
        SetChecked(position, checked);
}

int CompareModel::CheckedCount() const {
    return static_cast<int>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const CompareRow& r) { return r.checked; }));
}

std::vector<QByteArray> CompareModel::CheckedLines() const {
    std::vector<QByteArray> lines;
    for (const CompareRow& row : m_rows) {
        if (row.checked)
            lines.push_back(row.fileLine);
    }
    return lines;
}

QString CompareModel::CountText() const {
    return QStringLiteral("%1 of %2 selected").arg(CheckedCount()).arg(RowCount());
}
