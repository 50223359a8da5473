// Test support for the photo decoders: a test picture built in code, the
// Debian tools that encode and decode the formats, run at test time, and the
// comparison of two pictures.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace quorvane::testing {

// A width x height picture of smooth gradients and a few blocks, no two
// quarters alike, so that any turn or mirror changes it.
QImage MakeTestPicture(int width, int height, bool transparent = false);

// The path of the tool, or empty when it is not installed.
QString ToolPath(const QString& name);
// Runs the tool with the arguments; true when it exited with status 0.
bool RunTool(const QString& name, const QStringList& arguments);

// The largest difference of one channel between two pictures of one size,
// both read as RGBA8888; -1 when their sizes differ.
int LargestDifference(const QImage& a, const QImage& b);
// Our RGBA bytes as an image (copied).
QImage ImageOfRgba(const std::vector<std::uint8_t>& rgba, int width, int height);

// The picture as the EXIF orientation says to draw it, built from Qt's own
// turns and mirrors.
QImage TurnedByQt(const QImage& image, int orientation);

// Bytes of a file; empty when it cannot be read.
std::vector<std::uint8_t> FileBytes(const QString& path);

} // namespace quorvane::testing
