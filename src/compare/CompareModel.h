#pragma once

#include "BindingTable.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class SettingsStore;

// One line of a settings file whose setting the receiver does not hold as
// the file has it, described as the pages show it.
struct CompareRow {
    QByteArray key;        // as the file spells it
    int pageOrder = 0;     // tab order of its page; "Other" comes last
    int tableOrder = 0;    // within the page: binding table order, then view
    QString page;          // the tab's title, or "Other"
    QString label;         // the control's label; the raw key under "Other"
    QString fileText;      // the file's value as the page shows it
    QString receiverText;  // the receiver's value as the page shows it, "(none)" if it has none
    QByteArray fileLine;   // "key=value" as a restore sends it
    bool checked = false;

    // What a screen reader says of the row: page, label and both values.
    QString Spoken() const;
};

// Names the pages give their controls; the window reads them off its pages.
// Without one, a control is called by its parameter ("Bass").
using ControlLabels = std::function<QString(const BindingRow& row)>;

// The compare window's content without widgets: the file's settings that a
// restore would change, one row each, grouped by page in tab order, filtered by
// a typed text, sorted by a column within each page, and which rows are
// checked for a restore.
class CompareModel {
public:
    enum class Column { Page = 0, Setting = 1, File = 2, Receiver = 3 };
    static inline const QString kOther = QStringLiteral("Other");
    static inline const QString kMissing = QStringLiteral("(none)");

    explicit CompareModel(ControlLabels labels = {});

    // Rebuilds the rows from the file and what the receiver said (the
    // store's confirmed lines; a value still in flight is no answer yet). A
    // file line differs unless the receiver holds its key with the same
    // value, both trimmed and letter case aside, as a restore judges an
    // answer; lines a restore would not send (blank, comment, no key) never
    // do. Checks are kept for keys that still differ.
    void Compare(const SettingsStore& file, const SettingsStore& receiver, std::uint32_t modelBit);

    // Every row, by page in tab order, within a page as the binding table
    // lists its controls (a preset's copy after the main one); "Other" in the
    // file's order.
    const std::vector<CompareRow>& Rows() const { return m_rows; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }

    void SetFilter(const QString& text) { m_filter = text.trimmed(); }
    QString Filter() const { return m_filter; }
    void SortBy(Column column, bool ascending);
    // The rows the filter lets through, grouped by page (pages in tab order,
    // reversed when sorting by page descending), sorted within each page;
    // positions into Rows().
    std::vector<int> Shown() const;
    bool Matches(const CompareRow& row) const;

    bool SetChecked(int position, bool checked);
    // Checks or clears the rows shown.
    void CheckShown(bool checked);
    int CheckedCount() const;
    // The file's lines of the checked rows, in page order.
    std::vector<QByteArray> CheckedLines() const;
    // "2 of 5 selected".
    QString CountText() const;

private:
    // Page, label and both texts of a file line shown by bound rows.
    void DescribeBound(CompareRow& row, const std::vector<const BindingRow*>& bound, int view,
                       const SettingsStore& file, const SettingsStore& receiver,
                       std::uint32_t modelBit, const QByteArray& fileValue,
                       const std::optional<QByteArray>& receiverValue) const;

    ControlLabels m_labels;
    std::vector<CompareRow> m_rows;
    QString m_filter;
    Column m_sortColumn = Column::Page;
    bool m_ascending = true;
};

// The bound rows that show `key` (any letter case) and the preset view they
// show it in (0: the main view): a preset's own copy of a setting is shown by
// the setting's row in that preset's view, a source's input format by that
// source's input row, a preset's joined speaker value by the size and the
// crossover row. Empty for a key no bound page shows.
std::vector<const BindingRow*> RowsShowing(const QByteArray& key, int* view);
// The page titles by PageIndex, as the tabs read.
QString PageTitle(PageIndex page);
