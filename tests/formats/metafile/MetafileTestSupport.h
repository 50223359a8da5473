// Shared pieces of the metafile tests: the test class (its functions are
// spread over two files by subject) and helpers to load and play built bytes.
// With QUORVANE_METAFILE_SEEDS set to a directory, every metafile a test
// loads is also written there, as seeds for the fuzz target.
#pragma once

#include "MetafileBuilder.h"
#include "RecordingCanvas.h"
#include "TMetafile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QtTest>

namespace quorvane::testing {

inline void WriteSeed(const TBytes& bytes)
{
    const QString dir = qEnvironmentVariable("QUORVANE_METAFILE_SEEDS");
    if (dir.isEmpty()) return;
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    QFile file(QDir(dir).filePath(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex()));
    if (file.open(QIODevice::WriteOnly)) file.write(data);
}

inline TMetafile Load(const TBytes& bytes, int dpi = kDefaultScreenDpi)
{
    WriteSeed(bytes);
    return TMetafile::FromBytes(bytes, dpi);
}

inline TRecordingCanvas PlayOn(const TBytes& bytes, double width, double height,
                               TMfPlayResult* result = nullptr)
{
    TRecordingCanvas canvas;
    const TMfPlayResult r = Load(bytes).Play(canvas, width, height);
    if (result) *result = r;
    return canvas;
}

inline bool Near(TMfPoint p, double x, double y, double tolerance = 1e-6)
{
    return std::fabs(p.X - x) <= tolerance && std::fabs(p.Y - y) <= tolerance;
}

inline TMfBox BoundsOf(const TMfPath& path)
{
    TMfBox b{1e300, 1e300, -1e300, -1e300};
    for (const TMfPoint& p : path.Points)
        b = {std::min(b.Left, p.X), std::min(b.Top, p.Y), std::max(b.Right, p.X), std::max(b.Bottom, p.Y)};
    return b;
}

} // namespace quorvane::testing

Q_DECLARE_METATYPE(quorvane::testing::TBytes)

class TestMetafile : public QObject {
    Q_OBJECT

  private slots:
    // Headers, sizes and refusals (tst_metafile.cpp).
    void pictureSize_data();
    void pictureSize();
    void refusedHeader_data();
    void refusedHeader();
    void mulDivRounding_data();
    void mulDivRounding();
    void loadFromFile();
    void unknownRecordSkipped_data();
    void unknownRecordSkipped();
    void truncatedRecordStops_data();
    void truncatedRecordStops();
    void malformedRecordSkipped_data();
    void malformedRecordSkipped();
    void refusedBitmap_data();
    void refusedBitmap();
    void wmfObjectSlots();
    void wmfLowestFreeSlotFirst();
    void clipLimits();
    void emfStockAndSlotObjects();
    void saveAndRestore();
    // Drawing (tst_metafile_records.cpp).
    void wmfRectangleFillsFrame();
    void wmfWindowMapping();
    void plainWmfWithoutExtent();
    void emfMapping_data();
    void emfMapping();
    void penWidthAndStyle();
    void polygonsAndFillMode();
    void arcEndpoints_data();
    void arcEndpoints();
    void text_data();
    void text();
    void extTextOutOpaqueAndClip();
    void dibPixels_data();
    void dibPixels();
    void dibSourceRectangle();
    void emfStretchDiBits();
    void emfAlphaBlend_data();
    void emfAlphaBlend();
    void emfPathBracket();
    void clipRectangles();
};
