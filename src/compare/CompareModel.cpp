#include "CompareModel.h"

#include "BindingModel.h"
#include "ByteText.h"
#include "SessionState.h"
#include "SettingsDiff.h"
#include "SettingsStore.h"
#include "Windows1252.h"

#include <QHash>
#include <QSet>

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
constexpr int kOtherOrder = static_cast<int>(std::size(kPageTitles));

int TabOrderOf(PageIndex page) {
    for (int i = 0; i < kOtherOrder; ++i) {
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
    return order < kOtherOrder ? QString::fromLatin1(kPageTitles[order].title)
                               : CompareModel::kOther;
}

const BindingRow* RowShowing(const QByteArray& key, int* view) {
    *view = 0;
    const QByteArray upper = UpperAscii(key);
    const auto& rows = RowsByUpperKey();
    if (const BindingRow* row = rows.value(upper, nullptr))
        return row;
    const qsizetype dot = upper.indexOf('.');
    if (dot < 0)
        return nullptr;
    const QByteArray section = upper.left(dot);
    const QByteArray parameter = key.mid(dot + 1);
    // "Preset3.Bass": the Bass row, in the view of A/V preset 3.
    if (section.size() == 7 && section.startsWith("PRESET") && section[6] >= '1' &&
        section[6] <= '0' + kAvPresetCount) {
        const BindingRow* row = rows.value("MAIN." + UpperAscii(parameter), nullptr);
        if (row != nullptr && row->presetGroup != PresetGroup::None) {
            *view = section[6] - '0';
            return row;
        }
    }
    for (const FormatOfInput& pair : kInputFormats) {
        if (EqualsIgnoringCase(parameter, pair.format))
            return rows.value(section + '.' + UpperAscii(pair.input), nullptr);
    }
    return nullptr;
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
    for (const SettingDifference& difference : DiffSettings(file, receiver)) {
        CompareRow row;
        row.key = difference.key;
        row.inFile = difference.fileValue.has_value();
        if (row.inFile)
            row.fileLine = difference.key + '=' + *difference.fileValue;
        int view = 0;
        const BindingRow* bound = RowShowing(difference.key, &view);
        if (bound == nullptr) {
            row.pageOrder = kOtherOrder;
            row.page = kOther;
            row.label = FromWindows1252(difference.key);
            row.fileText = difference.fileValue ? FromWindows1252(*difference.fileValue) : kMissing;
            row.receiverText =
                difference.receiverValue ? FromWindows1252(*difference.receiverValue) : kMissing;
        } else {
            row.pageOrder = TabOrderOf(bound->page);
            row.tableOrder =
                static_cast<int>(bound - kBindingTable.data()) * (kAvPresetCount + 1) + view;
            row.page = PageTitle(bound->page);
            row.label = m_labels ? m_labels(*bound) : QString();
            if (row.label.isEmpty())
                row.label = DefaultLabel(*bound);
            if (!EqualsIgnoringCase(bound->Key(), difference.key) && view == 0)
                row.label += QStringLiteral(" (format)");
            if (view > 0)
                row.label += QStringLiteral(" (A/V Preset %1)").arg(view);
            row.fileText = ShownText(file, *bound, view, modelBit, difference.fileValue);
            row.receiverText =
                ShownText(receiver, *bound, view, modelBit, difference.receiverValue);
            // Two spellings of one entry ("yes", "Yes") show alike; say what differs.
            if (row.fileText == row.receiverText) {
                row.fileText += QStringLiteral(" [%1]").arg(
                    difference.fileValue ? FromWindows1252(*difference.fileValue) : kMissing);
                row.receiverText += QStringLiteral(" [%1]").arg(
                    difference.receiverValue ? FromWindows1252(*difference.receiverValue)
                                             : kMissing);
            }
        }
        row.checked = row.inFile && checked.contains(UpperAscii(row.key));
        m_rows.push_back(std::move(row));
    }
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const CompareRow& a, const CompareRow& b) {
        return a.pageOrder != b.pageOrder ? a.pageOrder < b.pageOrder : a.tableOrder < b.tableOrder;
    });
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
    CompareRow& row = m_rows[static_cast<std::size_t>(position)];
    if (!row.inFile)
        return false;
    row.checked = checked;
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

int CompareModel::CheckableCount() const {
    return static_cast<int>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const CompareRow& r) { return r.inFile; }));
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
    return QStringLiteral("%1 of %2 selected").arg(CheckedCount()).arg(CheckableCount());
}
