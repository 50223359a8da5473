// TfrmMain: the similar-pictures criterion ("Similar pictures" with its
// tolerance, on the Options page), the extra picture formats (More Options)
// and the similar search, run on the search worker like "Find Duplicates".
// Invariant: while ckSimilar is ticked, Name, Size, Time, CC and All bytes
// are disabled and do not count; their ticks are left as they are.
#include "FileScan.h"
#include "MainForm.h"
#include "NotDuplicates.h"
#include "PathRules.h"
#include "QtPictureDecoder.h"
#include "UpDown.h"
#include "WindowRules.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace quorvane {

TCriteriaEnabling CriteriaEnabling(bool similar, bool size)
{
    return {!similar, !similar && size};
}

void TfrmMain::setupSimilar()
{
    // Placed on the option pages by PlaceAddedOptions.
    ckSimilar = new QCheckBox(tbsOptions);
    ckSimilar->setObjectName(QStringLiteral("ckSimilar"));
    lblTolerance = new QLabel(tbsOptions);
    lblTolerance->setObjectName(QStringLiteral("lblTolerance"));
    edTolerance = new QLineEdit(tbsOptions);
    edTolerance->setObjectName(QStringLiteral("edTolerance"));
    edTolerance->setValidator(new QIntValidator(0, kMaxTolerance, edTolerance));
    UpDownTolerance = new TUpDown(tbsOptions);
    UpDownTolerance->setObjectName(QStringLiteral("UpDownTolerance"));
    UpDownTolerance->SetRange(0, kMaxTolerance);
    ckMoreFormats = new QCheckBox(ckNoRecycle->parentWidget());
    ckMoreFormats->setObjectName(QStringLiteral("ckMoreFormats"));
    FSimilarDecoder = &DecodeWithQt;
    edTolerance->setText(QString::number(kDefaultTolerance));
    UpDownTolerance->SetPosition(kDefaultTolerance);

    connect(ckSimilar, &QCheckBox::toggled, this, &TfrmMain::ApplyCriteriaEnabling);
    connect(ckMoreFormats, &QCheckBox::toggled, this, &TfrmMain::ckMoreFormatsClick);
    connect(edTolerance, &QLineEdit::textChanged, this, &TfrmMain::edToleranceChange);
    connect(UpDownTolerance, &TUpDown::PositionChanged, this,
            [this](int position) { edTolerance->setText(QString::number(position)); });
}

void TfrmMain::ApplyCriteriaEnabling()
{
    const TCriteriaEnabling enabling = CriteriaEnabling(ckSimilar->isChecked(), ckSize->isChecked());
    for (QWidget* control : std::initializer_list<QWidget*>{ckName, ckSize, ckTime})
        control->setEnabled(enabling.KeyCriteria);
    ckCC->setEnabled(enabling.ContentChecks);
    ckAllBytes->setEnabled(enabling.ContentChecks);
}

void TfrmMain::ckMoreFormatsClick()
{
    SetMoreFormatsEnabled(ckMoreFormats->isChecked());
    // The focused row may have become a picture, or stopped being one.
    if (FListReady) RequestPreview();
}

void TfrmMain::edToleranceChange()
{
    bool ok = false;
    const int value = edTolerance->text().toInt(&ok);
    if (ok) UpDownTolerance->SetPosition(value);
}

bool TfrmMain::SimilarChecked() const
{
    return ckSimilar->isChecked();
}

int TfrmMain::Tolerance() const
{
    bool ok = false;
    const int value = edTolerance->text().toInt(&ok);
    // A text that is not a number searches at the default, never at 0.
    if (!ok) return kDefaultTolerance;
    return std::clamp(value, 0, kMaxTolerance);
}

void TfrmMain::SetSimilarDecoder(TPictureDecoder decoder)
{
    FSimilarDecoder = decoder ? std::move(decoder) : TPictureDecoder(&DecodeWithQt);
}

TSimilarOptions TfrmMain::SimilarOptions() const
{
    TSimilarOptions options;
    options.Tolerance = Tolerance();
    options.MoreFormats = ckMoreFormats->isChecked();
    options.TurnUpright = ckTurnUpright->isChecked();
    options.Turns = ckTurns->isChecked();
    options.Crops = ckCrops->isChecked();
    options.SamePixels = ckSamePixels->isChecked();
    options.Decoder = FSimilarDecoder;
    // The command line's cache file, so neither front end hashes again what
    // the other did; without a home the search runs uncached.
    options.CachePath = DefaultHashCachePath();
    return options;
}

void TfrmMain::StartSimilarSearch()
{
    auto outcome = std::make_shared<TSimilarOutcome>();
    FSimilarOutcome = outcome;
    StartSearch(TSearchKind::Similar,
                [directories = InputDirectories(), include = ckInclude->isChecked(),
                 options = SimilarOptions(), outcome](TDuplicateHost& host, std::vector<TFileRecord>& rows) {
                    std::vector<TFileRecord> files;
                    TScanContext context; // a directory reached twice is read once
                    for (const std::string& directory : directories)
                        ReadAllFiles(directory, include, host, files, &context);
                    TSimilarResult result = FindSimilarPictures(files, options, host);
                    host.ClearFileList();
                    rows = std::move(result.Rows);
                    // The groups' numbers bound them in the list: rows of
                    // similar pictures share no key a neighbour test could use.
                    for (std::size_t i = 0; i < rows.size(); ++i)
                        rows[i].Group = result.GroupOf[i];
                    outcome->GroupCount = result.GroupCount;
                    if (LeaveOutNotDuplicates(rows, nullptr) != 0) {
                        outcome->GroupCount = 0;
                        for (std::size_t i = 0; i < rows.size(); ++i) {
                            result.GroupOf[i] = rows[i].Group;
                            outcome->GroupCount = std::max<std::size_t>(outcome->GroupCount, rows[i].Group);
                        }
                        result.GroupOf.resize(rows.size());
                    }
                    outcome->GroupOf = std::move(result.GroupOf);
                    return true;
                });
}

void TfrmMain::FinishSimilarSearch()
{
    const std::size_t groups = FSimilarOutcome ? FSimilarOutcome->GroupCount : 0;
    FSimilarOutcome.reset();
    SetStatusText(1,
                  TotalFilesText(FModel->Rows().size()) + QString::fromLatin1(kGroupHintText) +
                      QStringLiteral("   ") +
                      QCoreApplication::translate("frmMain", "Groups: %1", "status").arg(groups),
                  true);
}

} // namespace quorvane
