// Saves the instrument's files over and over, as the program does, so that a test can
// cut the power (SIGKILL) at any moment: the state file "pel.ini", a reflectogram and the
// velocity table, each alternating between two known versions.
//
//   pel_save_loop HOME once a|b   writes version a or b of every file and exits
//   pel_save_loop HOME loop       writes a, b, a, b, ... until killed, after a line on stdout
#include "document/PELDoc.h"
#include "library/KUListCtrl.h"
#include "platform/Files.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char* const kTraceName = "loop.pel";

// Writes one version of the three files; false when any save failed.
bool SaveVersion(CPELDoc& doc, bool b) {
    CChannel& line = doc.ch[0];
    line.gain.SetIndex(b ? 90 : 100);
    line.scale.vfactor.SetKU(b ? 1.6 : 1.5);
    line.scale.SetCursorPx(0, b ? 40 : 0);
    line.scale.SetCursorPx(1, b ? 300 : 250);
    if (!doc.WriteStateFile())
        return false;

    for (std::size_t i = 0; i < line.scale.samples.size(); ++i)
        line.scale.samples[i] = static_cast<std::uint8_t>(b ? 255 - i % 256 : i % 251);
    line.filePath = doc.storageFolder;
    if (line.SaveTrace(QString::fromLatin1(kTraceName)) != 0)
        return false;

    std::vector<ku_table::Record> records = {{QStringLiteral("ТПП"), QStringLiteral("1.500 ")},
                                             {QStringLiteral("КСПП"), QStringLiteral("1.520 ")}};
    if (b)
        records.push_back({QStringLiteral("ПРППМ"), QStringLiteral("1.610 ")});
    return platform::WriteFileAtomically(doc.storageFolder + QString::fromLatin1(ku_table::kFileName),
                                         ku_table::WriteRecords(records, 0));
}

} // namespace

int main(int argc, char** argv) {
    const bool once = argc == 4 && std::strcmp(argv[2], "once") == 0;
    const bool loop = argc == 3 && std::strcmp(argv[2], "loop") == 0;
    if (!once && !loop) {
        std::fprintf(stderr, "usage: pel_save_loop HOME once a|b | pel_save_loop HOME loop\n");
        return 2;
    }
    CPELDoc doc(platform::AsFolder(QString::fromLocal8Bit(argv[1])));
    if (!platform::CreateFolderPath(doc.storageFolder)) {
        std::fprintf(stderr, "pel_save_loop: cannot make %s\n", qUtf8Printable(doc.storageFolder));
        return 1;
    }
    if (once)
        return SaveVersion(doc, std::strcmp(argv[3], "b") == 0) ? 0 : 1;
    // The killer's cue: from here on the files are being saved.
    std::fputs("saving\n", stdout);
    std::fflush(stdout);
    for (bool b = false;; b = !b) {
        if (!SaveVersion(doc, b)) {
            std::fprintf(stderr, "pel_save_loop: a save failed\n");
            return 1;
        }
    }
}
