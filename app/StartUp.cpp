// The program's start-up answers and desktop identity. --version and --help
// are answered from argv alone, so they work without a display.
#include "StartUp.h"

#include <QGuiApplication>
#include <QIcon>
#include <cstring>

namespace quorvane {

std::optional<int> AnswerInfoOption(int argc, const char* const* argv, std::FILE* out)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) break;
        const char* text = nullptr;
        if (std::strcmp(arg, "--version") == 0)
            text = "Quorvane " QUORVANE_VERSION "\n";
        else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)
            text = "usage: quorvane [--help | --version]\n"
                   "Finds and removes duplicate files, above all duplicate pictures.\n"
                   "Started without options it opens its window. For the same search\n"
                   "without a window see quorvane-cli --help.\n";
        if (text) {
            std::fputs(text, out);
            return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 1;
        }
    }
    return std::nullopt;
}

void ApplyDesktopIdentity(QGuiApplication& app)
{
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("quorvane")));
}

} // namespace quorvane
