// TfrmMain: the "Filters" page of the option tabs, what every search leaves
// out: files outside a size range, names matching a pattern, extensions
// not asked for, folders never entered. All empty by default, so a search
// reads what it always read.
// Invariant: the filter a search runs with is read from these fields when
// it starts; changing them during a search changes nothing in it.
#include "MainForm.h"
#include "ScanFilter.h"

#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <limits>

namespace quorvane {

namespace {

QLineEdit* AddFilterRow(QWidget* page, QFormLayout* layout, const char* label, const char* name)
{
    auto* caption = new QLabel(page);
    caption->setObjectName(QLatin1String(label));
    auto* edit = new QLineEdit(page);
    edit->setObjectName(QLatin1String(name));
    edit->setClearButtonEnabled(true);
    layout->addRow(caption, edit);
    caption->setBuddy(edit);
    return edit;
}

// A size field's text as bytes: empty gives fallback, a size beyond 64 bits
// the largest there is (the validator admits nothing else).
std::uint64_t SizeOf(const QLineEdit* edit, std::uint64_t fallback)
{
    const QString text = edit->text().trimmed();
    if (text.isEmpty()) return fallback;
    return ParseByteSize(text.toStdString()).value_or(std::numeric_limits<std::uint64_t>::max());
}

std::vector<std::string> ItemsOf(const QLineEdit* edit, const char* separators)
{
    // Patterns and folders are matched as the file system's bytes.
    return SplitFilterList(QFile::encodeName(edit->text()).toStdString(), separators);
}

} // namespace

void TfrmMain::setupFilters()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tbsFilters"));
    auto* layout = new QFormLayout(page);
    layout->setContentsMargins(6, 4, 4, 4);
    layout->setVerticalSpacing(2);
    edMinSize = AddFilterRow(page, layout, "lbMinSize", "edMinSize");
    edMaxSize = AddFilterRow(page, layout, "lbMaxSize", "edMaxSize");
    edExcludeNames = AddFilterRow(page, layout, "lbExcludeNames", "edExcludeNames");
    edExtensions = AddFilterRow(page, layout, "lbExtensions", "edExtensions");
    edExcludeFolders = AddFilterRow(page, layout, "lbExcludeFolders", "edExcludeFolders");
    // Digits with an optional K, M or G: nothing else can be typed.
    const QRegularExpression size(QStringLiteral("[0-9]{0,15}[KkMmGg]?"));
    for (QLineEdit* edit : {edMinSize, edMaxSize})
        edit->setValidator(new QRegularExpressionValidator(size, edit));
    pgOptions->addTab(page, QStringLiteral("Filters"));
}

TScanFilter TfrmMain::ScanFilterOfControls() const
{
    TScanFilter filter;
    filter.MinSize = SizeOf(edMinSize, 0);
    filter.MaxSize = SizeOf(edMaxSize, std::numeric_limits<std::uint64_t>::max());
    filter.ExcludedNames = ItemsOf(edExcludeNames, ";,");
    filter.Extensions = ItemsOf(edExtensions, ";, ");
    filter.ExcludedFolders = ItemsOf(edExcludeFolders, ";");
    return filter;
}

} // namespace quorvane
