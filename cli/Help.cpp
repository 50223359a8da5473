// The help and version texts of quorvane-cli. The help text is the short form
// of the manual page quorvane-cli.1; the two should name the same options.
#include "Help.h"

#include <cstdio>

namespace quorvane::cli {

namespace {

int Write(const char* text)
{
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace

int PrintHelp()
{
    return Write(
        "usage: quorvane-cli find [--name] [--size] [--cc] [--time] [--all-bytes] [--groups]\n"
        "                         [--all-groups] [--keep RULE] [--no-subdirs] [--no-cache] [--progress]\n"
        "                         [--] DIR...\n"
        "       quorvane-cli list [--no-subdirs] [--progress] [--] DIR...\n"
        "       quorvane-cli similar [--tolerance N] [--more-formats] [--turns] [--crops] [--pixels]\n"
        "                            [--all-groups] [--no-subdirs] [--no-cache] [--progress] [--] DIR...\n"
        "  (find, list and similar also take the filters below)\n"
        "       quorvane-cli decode [--scale 1|2|4|8] [--gray] [--fast] [--8bit] [--progressive] "
        "[--stored] FILE OUT.bmp\n"
        "       quorvane-cli --help | --version\n"
        "\n"
        "Finds duplicate files without a window, using the search of the Quorvane program.\n"
        "\n"
        "find     prints the duplicate groups of the files under DIR...; a file joins a group\n"
        "         when it matches the group's reference file on every criterion given\n"
        "         (at least one of --name, --size and --time):\n"
        "  --name         the same file name (letter case ignored)\n"
        "  --size         the same size\n"
        "  --cc           the same bytes at sampled offsets (needs --size)\n"
        "  --time         the same modification time, to the minute\n"
        "  --all-bytes    the same whole contents (needs --size; supersedes --cc)\n"
        "  --groups       print the group number (1-based) as a first column\n"
        "  --no-cache     with --all-bytes: neither read nor write the cache of contents hashes\n"
        "  --keep RULE    add a last column, \"keep\" or \"delete\", as Select Duplicates would\n"
        "                 choose; RULE is first, newest, oldest, largest (most pixels,\n"
        "                 else largest file), shortest (path) or oldest-capture (the\n"
        "                 photo's EXIF date; files without one last); ties go to the\n"
        "                 first row.\n"
        "                 Nothing is ever deleted.\n"
        "list     prints every file under DIR...\n"
        "similar  prints the groups of pictures under DIR... that are the same picture at\n"
        "         another size, quality or format, the largest of each group first, with\n"
        "         the group number (1-based) as a first column\n"
        "  --tolerance N  how far two pictures' hashes may differ, 0 to 32 (default 8)\n"
        "  --more-formats also PNG, WebP, TIFF, HEIC/HEIF, AVIF, JPEG XL and camera RAW\n"
        "  --turns        also copies turned by quarter turns or mirrored\n"
        "  --crops        also copies cut down to the middle of the picture (about 93 to 97 %\n"
        "                 of each side kept)\n"
        "  --pixels       only pictures whose decoded pixels are exactly equal\n"
        "  --no-cache     neither read nor write the cache of picture hashes\n"
        "  --no-subdirs   read only the directories themselves, not their subdirectories\n"
        "  --progress     write the progress percentages to stderr\n"
        "files marked \"Not Duplicates\" in the window (find and similar): a file marked against\n"
        "         every other file of its group leaves it, and groups left with one file go;\n"
        "         the marks are read from $XDG_CONFIG_HOME (else ~/.config)/Marrowfen/\n"
        "         Quorvane-not-duplicates.bin\n"
        "  --all-groups   print every group as found, marks or not\n"
        "output of find, list and similar:\n"
        "  --format F     tsv (the default, described below), csv or json. csv: RFC 4180 with a\n"
        "                 header row, a group column (and for similar a distance column: the\n"
        "                 hash bits by which the picture differs from its group's first),\n"
        "                 CR LF line ends; in its text fields a backslash is written \\\\ and\n"
        "                 a byte that is not valid UTF-8 \\xHH. json: the program's\n"
        "                 result file (the criteria, the directories, the time of the search\n"
        "                 and every row with its group, identity and distance); names escaped\n"
        "                 as in csv. json does not take --keep.\n"
        "filters of find, list and similar (what is left out is never read):\n"
        "  --min-size N      only files of at least N bytes (N may end in K, M or G, powers of 1024)\n"
        "  --max-size N      only files of at most N bytes\n"
        "  --exclude PAT     leave out files whose names match the shell pattern PAT\n"
        "                    (*.tmp, Thumbs.db); may be given again\n"
        "  --exclude-dir DIR never enter the folder DIR (also when reached by a link or\n"
        "                    another path); may be given again\n"
        "  --ext LIST        only files with these extensions (jpg,png; letter case ignored)\n"
        "decode   decodes the picture file FILE (GIF, JPEG, WMF, EMF or a photo format) and\n"
        "         writes it as the BMP file OUT.bmp\n"
        "  --scale N      JPEG: decode at 1/N of the size\n"
        "  --gray         JPEG: decode in shades of grey\n"
        "  --fast         JPEG: prefer speed to quality\n"
        "  --8bit         JPEG: write an 8-bit picture with a palette\n"
        "  --progressive  JPEG: decode as a progressive display would\n"
        "  --stored       photo formats: keep the stored layout (no turn upright)\n"
        "\n"
        "Output of find, list and similar: one line per file, the fields Name, Directory, Size,\n"
        "Type and Time separated by TAB; TAB, line feed and backslash inside a field are\n"
        "written \\t, \\n and \\\\. The last status text (\"Total Files:N\") goes to stderr.\n"
        "A file or directory that cannot be read is named on stderr and left out.\n"
        "\n"
        "Exit status: 0 success, 1 a file could not be read or written, 2 a usage error or\n"
        "a refused search (no directory, no criterion, a directory that does not exist).\n"
        "See quorvane-cli(1) for the details.\n");
}

int PrintVersion()
{
    return Write("quorvane-cli " QUORVANE_VERSION "\n");
}

bool AsksForHelp(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (arg == "--help") return true;
    }
    return false;
}

} // namespace quorvane::cli
