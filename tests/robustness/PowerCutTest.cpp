// Power cuts while the instrument saves: the save loop is killed with SIGKILL at random
// moments, and every file it keeps is then either its old or its new version, never a
// part of one. A kill between making a temporary file and renaming it over the target
// can leave that one temporary file behind (the target is whole): the check allows one
// per kill, named after its target, and removes it as the next start's tidy-up would.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const std::array<const char*, 3> kFiles = {"pel.ini", "save/loop.pel", "save/tableku.tku"};
constexpr int kCuts = 200;
constexpr int kLongestDelayMs = 50;

// Starts the save loop; with `output` its standard output goes to that descriptor.
pid_t Spawn(const QStringList& arguments, int output = -1) {
    std::vector<QByteArray> bytes{QByteArray(PEL_SAVE_LOOP)};
    for (const QString& argument : arguments)
        bytes.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (output >= 0)
        ::posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        ADD_FAILURE() << "posix_spawn: " << std::strerror(error);
        return -1;
    }
    return pid;
}

// The save loop's exit code when it ends by itself, -1 otherwise.
int RunToEnd(const QStringList& arguments) {
    const pid_t pid = Spawn(arguments);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Temporary files left in the home folder and its storage folder.
QStringList Leftovers(const QString& home) {
    QStringList found;
    for (const QString& folder : {home, home + QStringLiteral("/save")}) {
        for (const QString& name : QDir(folder).entryList({QStringLiteral("*.tmp-*")}, QDir::Files | QDir::Hidden))
            found << folder + QLatin1Char('/') + name;
    }
    return found;
}

} // namespace

TEST(PowerCut, EverySavedFileIsTheOldOrTheNewVersion) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString a = root.filePath(QStringLiteral("a"));
    const QString b = root.filePath(QStringLiteral("b"));
    const QString home = root.filePath(QStringLiteral("home"));
    ASSERT_EQ(RunToEnd({a, QStringLiteral("once"), QStringLiteral("a")}), 0);
    ASSERT_EQ(RunToEnd({b, QStringLiteral("once"), QStringLiteral("b")}), 0);
    ASSERT_EQ(RunToEnd({home, QStringLiteral("once"), QStringLiteral("a")}), 0);

    std::array<QByteArray, kFiles.size()> versionA;
    std::array<QByteArray, kFiles.size()> versionB;
    std::array<QByteArray, kFiles.size()> last;
    for (std::size_t i = 0; i < kFiles.size(); ++i) {
        versionA[i] = Contents(a + QLatin1Char('/') + QLatin1String(kFiles[i]));
        versionB[i] = Contents(b + QLatin1Char('/') + QLatin1String(kFiles[i]));
        last[i] = Contents(home + QLatin1Char('/') + QLatin1String(kFiles[i]));
        ASSERT_NE(versionA[i], versionB[i]) << kFiles[i];
        ASSERT_EQ(last[i], versionA[i]) << kFiles[i] << " is not written the same way twice";
    }

    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> delayUs(0, kLongestDelayMs * 1000);
    int changes = 0;
    int leftovers = 0;
    for (int cut = 0; cut < kCuts; ++cut) {
        // The delay runs from the loop's first save, not from its start-up.
        std::array<int, 2> cue{};
        ASSERT_EQ(::pipe2(cue.data(), O_CLOEXEC), 0);
        const pid_t pid = Spawn({home, QStringLiteral("loop")}, cue[1]);
        ::close(cue[1]);
        ASSERT_GT(pid, 0) << "cut " << cut;
        char byte = 0;
        const bool cued = ::read(cue[0], &byte, 1) == 1;
        ::close(cue[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(cued && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the loop ended by itself, cut " << cut;

        for (std::size_t i = 0; i < kFiles.size(); ++i) {
            const QByteArray now = Contents(home + QLatin1Char('/') + QLatin1String(kFiles[i]));
            ASSERT_TRUE(now == versionA[i] || now == versionB[i])
                << kFiles[i] << " is neither version after cut " << cut << " (" << now.size() << " bytes)";
            changes += now != last[i];
            last[i] = now;
        }
        const QStringList left = Leftovers(home);
        ASSERT_LE(left.size(), 1) << "cut " << cut << ": " << qPrintable(left.join(QLatin1Char(' ')));
        for (const QString& path : left) {
            bool named = false;
            for (const char* file : kFiles)
                named =
                    named || path.startsWith(home + QLatin1Char('/') + QLatin1String(file) + QStringLiteral(".tmp-"));
            EXPECT_TRUE(named) << qPrintable(path);
            ASSERT_TRUE(QFile::remove(path));
            ++leftovers;
        }
    }
    std::printf("[ power cuts ] %d cuts, %d file changes seen, %d temporary files left by a cut\n", kCuts, changes,
                leftovers);
    // The cuts must land while files are being saved, or the test shows nothing.
    EXPECT_GT(changes, kCuts / 4);
}
