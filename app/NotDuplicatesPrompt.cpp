// The dialog of "Forget Not Duplicates...".
#include "NotDuplicatesPrompt.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QString Text(const char* source)
{
    return QCoreApplication::translate("frmMain", source, "miForgetNotDuplicates");
}

} // namespace

std::vector<std::size_t> TForgetNotDuplicatesDialog::Choose(const std::vector<QStringList>& sets)
{
    QDialog dialog(FOwner);
    dialog.setObjectName(QStringLiteral("dlgForgetNotDuplicates"));
    dialog.setWindowTitle(Text("Files Marked as Not Duplicates"));
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lstNotDuplicates"));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const QStringList& paths : sets) {
        auto* item = new QListWidgetItem(paths.join(QStringLiteral("  |  ")), list);
        item->setToolTip(paths.join(QLatin1Char('\n')));
    }
    auto* forgetSelected = new QPushButton(Text("Forget Selected"), &dialog);
    auto* forgetAll = new QPushButton(Text("Forget All"), &dialog);
    auto* close = new QPushButton(Text("Close"), &dialog);
    close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(forgetSelected);
    buttons->addWidget(forgetAll);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addLayout(buttons);
    dialog.resize(640, 320);

    std::vector<std::size_t> chosen;
    QObject::connect(forgetSelected, &QPushButton::clicked, &dialog, [&] {
        for (int row = 0; row < list->count(); ++row)
            if (list->item(row)->isSelected()) chosen.push_back(static_cast<std::size_t>(row));
        dialog.accept();
    });
    QObject::connect(forgetAll, &QPushButton::clicked, &dialog, [&] {
        for (std::size_t k = 0; k < sets.size(); ++k)
            chosen.push_back(k);
        dialog.accept();
    });
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return {};
    return chosen;
}

} // namespace quorvane
