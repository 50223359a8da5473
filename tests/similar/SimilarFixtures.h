// What the similar-pictures tests share: a host that counts progress
// reports and can ask to stop, photograph-like pictures made from a seed,
// and the rows of a folder as the scan reads them.
#pragma once

#include "FileScan.h"
#include "ScanHost.h"
#include "TFileRecord.h"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <random>
#include <string>
#include <vector>

namespace quorvane::test {

class TQuietHost : public TScanHost {
  public:
    void SetStatusText(const std::string&, bool) override {}
    void SetPercentage(int, bool) override { ++Reports; }
    void ShowProgressWindow() override {}
    bool CancelRequested() const override { return CancelAfterReports >= 0 && Reports > CancelAfterReports; }
    int Reports = 0;
    int CancelAfterReports = -1;
};

// A photograph-like picture: gradients and shapes that depend on seed.
inline QImage Picture(int seed, int width = 320, int height = 240)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor::fromRgb(rng() % 256, rng() % 256, rng() % 256));
    gradient.setColorAt(1, QColor::fromRgb(rng() % 256, rng() % 256, rng() % 256));
    p.fillRect(image.rect(), gradient);
    for (int i = 0; i < 12; ++i) {
        p.setBrush(QColor::fromRgb(rng() % 256, rng() % 256, rng() % 256));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(rng() % width, rng() % height, width / 8 + rng() % (width / 3),
                             height / 8 + rng() % (height / 3)));
    }
    return image;
}

inline std::vector<TFileRecord> FilesOf(const QTemporaryDir& dir)
{
    TQuietHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(dir.path().toStdString(), false, host, rows);
    return rows;
}

} // namespace quorvane::test
