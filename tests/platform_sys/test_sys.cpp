// Tests of the operating-system services: settings file, page memory, random numbers, files.
#include "platform/sys/owner_lock.h"
#include "platform/sys/sys.h"
#include "platform/sys/verify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sched.h>
#include <sstream>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A fresh folder under /tmp for one test, removed with its files afterwards.
class TempDir : public ::testing::Test {
  protected:
    std::string dir;
    void SetUp() override {
        char tmpl[] = "/tmp/vd_sys_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
        return dir + "/" + name;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

using Profile = TempDir;

TEST_F(Profile, ReadsWithWindowsSemantics) {
    const std::string ini = write("a.ini", "; settings\r\n"
                                           "[Display]\r\n"
                                           "Colours = 17 \r\n"
                                           "Font=Arial\r\n"
                                           "Empty=\r\n"
                                           "Quoted=\"  padded  \"\r\n"
                                           "[ Files ]\r\n"
                                           "LastDir=/home/user/models\r\n"
                                           "Font=second section\r\n"
                                           "[display]\r\n"
                                           "Colours=later duplicate\r\n");
    struct Case {
        const char *section, *key, *expected;
    } cases[] = {
        {"Display", "Colours", "17"},        // value trimmed
        {"DISPLAY", "colours", "17"},        // names compared without case, first wins
        {"Display", "Font", "Arial"},        // key found in its own section only
        {"Files", "Font", "second section"}, // section name trimmed
        {"Files", "lastdir", "/home/user/models"},
        {"Display", "Empty", ""},            // present but empty: not the default
        {"Display", "Quoted", "  padded  "}, // surrounding quotes removed
        {"Display", "Missing", "dflt"},      // missing key
        {"Nowhere", "Font", "dflt"},         // missing section
        {"Display", "; settings", "dflt"},   // a comment is no key
    };
    for (const Case& c : cases)
        EXPECT_EQ(sys::get_profile_string(c.section, c.key, "dflt", ini), c.expected)
            << c.section << "/" << c.key;
}

TEST_F(Profile, MissingFileGivesDefault) {
    EXPECT_EQ(sys::get_profile_string("S", "k", "fallback", dir + "/none.ini"), "fallback");
    EXPECT_EQ(sys::get_profile_string("S", "k", "", dir + "/none.ini"), "");
}

TEST_F(Profile, CutsAt254Characters) {
    const std::string longv(300, 'x');
    const std::string ini =
        write("b.ini", "[S]\nlong=" + longv + "\nexact=" + longv.substr(0, 254) + "\n");
    EXPECT_EQ(sys::get_profile_string("S", "long", "", ini), longv.substr(0, 254));
    EXPECT_EQ(sys::get_profile_string("S", "exact", "", ini).size(), 254u);
    EXPECT_EQ(sys::get_profile_string("S", "long", "", ini, 10), longv.substr(0, 10));
    EXPECT_EQ(sys::get_profile_string("S", "none", longv, ini).size(), 254u); // default cut too
}

TEST_F(Profile, WriteCreatesFileAndSection) {
    const std::string ini = dir + "/new.ini";
    ASSERT_TRUE(sys::write_profile_string("Main", "Width", "640", ini));
    ASSERT_TRUE(sys::write_profile_string("Other", "Name", "x y", ini));
    ASSERT_TRUE(sys::write_profile_string("main", "Height", "480", ini));
    EXPECT_EQ(read(ini), "[Main]\nWidth=640\nHeight=480\n[Other]\nName=x y\n");
    EXPECT_EQ(sys::get_profile_string("MAIN", "height", "", ini), "480");
}

TEST_F(Profile, WriteKeepsEveryOtherLine) {
    const std::string ini = write("c.ini", "; keep me\r\n"
                                           "[A]\r\n"
                                           "one=1\r\n"
                                           "Two = 2\r\n"
                                           "\r\n"
                                           "[B]\r\n"
                                           "two=b2\r\n"
                                           "stray line\r\n");
    ASSERT_TRUE(sys::write_profile_string("a", "TWO", "22", ini));  // existing key, kept spelling
    ASSERT_TRUE(sys::write_profile_string("A", "three", "3", ini)); // after the section's last line
    ASSERT_TRUE(sys::write_profile_string("B", "four", "4", ini));
    EXPECT_EQ(read(ini), "; keep me\r\n"
                         "[A]\r\n"
                         "one=1\r\n"
                         "Two=22\r\n"
                         "three=3\r\n"
                         "\r\n"
                         "[B]\r\n"
                         "two=b2\r\n"
                         "stray line\r\n"
                         "four=4\r\n");
}

TEST_F(Profile, WriteRefusesWhatWouldBreakTheFile) {
    const std::string ini = write("d.ini", "[S]\nk=v\n");
    EXPECT_FALSE(sys::write_profile_string("S", "k", "two\nlines", ini));
    EXPECT_FALSE(sys::write_profile_string("S", "a=b", "v", ini));
    EXPECT_FALSE(sys::write_profile_string("S", "k", "v", dir + "/no/such/dir/e.ini"));
    EXPECT_EQ(read(ini), "[S]\nk=v\n");
}

TEST(PageMemory, ZeroFilledAndTracked) {
    sys::set_page_budget(-1);
    const long long base = sys::page_bytes_in_use();
    sys::reset_page_peak();
    double* a = sys::page_alloc_array<double>(1000);
    ASSERT_NE(a, nullptr);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(a[i], 0.0);
    int* b = sys::page_alloc_array<int>(10);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(sys::page_bytes_in_use(), base + 8000 + 40);
    sys::page_free(a);
    EXPECT_EQ(sys::page_bytes_in_use(), base + 40);
    EXPECT_EQ(sys::page_bytes_peak(), base + 8040);
    sys::page_free(b);
    sys::page_free(nullptr);
    EXPECT_EQ(sys::page_bytes_in_use(), base);
    void* empty = sys::page_alloc(0); // a zero-sized array is not an allocation failure
    EXPECT_NE(empty, nullptr);
    sys::page_free(empty);
}

// A large block is reserved, not touched: no page of it holds anything until written, and then
// only the pages written do, each cut to the block.
TEST(PageMemory, LargeBlocksTakeOnlyThePagesWritten) {
    constexpr std::size_t bytes = 8 << 20;
    auto* block = static_cast<unsigned char*>(sys::page_alloc(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(sys::written_ranges(block, bytes).empty());
    block[5 << 20] = 1;
    block[bytes - 1] = 2;
    const std::vector<sys::ByteRange> written = sys::written_ranges(block, bytes);
    ASSERT_EQ(written.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        const std::size_t at = k == 0 ? 5 << 20 : bytes - 1;
        EXPECT_LE(written[k].offset, at);
        EXPECT_GT(written[k].offset + written[k].bytes, at);
        EXPECT_LE(written[k].bytes, 64u << 10);
    }
    EXPECT_EQ(written[1].offset + written[1].bytes, bytes);
    sys::page_free(block);
    // A small block is never beyond its own bytes.
    auto* small = static_cast<unsigned char*>(sys::page_alloc(100));
    small[0] = 1;
    const std::vector<sys::ByteRange> one = sys::written_ranges(small, 100);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].offset, 0u);
    EXPECT_EQ(one[0].bytes, 100u);
    sys::page_free(small);
}

TEST(PageMemory, BudgetFailsThenRecovers) {
    const long long base = sys::page_bytes_in_use();
    sys::set_page_budget(base + 1000);
    void* a = sys::page_alloc(600);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(sys::page_alloc(600), nullptr); // would pass the budget
    void* b = sys::page_alloc(400);           // exactly reaches it
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(sys::page_bytes_in_use(), base + 1000);
    sys::page_free(a);
    void* c = sys::page_alloc(600); // freed memory counts again
    EXPECT_NE(c, nullptr);
    sys::page_free(b);
    sys::page_free(c);
    sys::set_page_budget(-1);
    EXPECT_EQ(sys::page_bytes_in_use(), base);
    EXPECT_EQ(sys::page_alloc_array<double>(std::size_t(-1) / 4), nullptr); // size overflow
}

// Threads taking blocks at once against a budget get exactly the blocks it holds, each
// zero-filled, and the ledger ends where it began.
TEST(PageMemory, ThreadsAtOnceKeepTheBudget) {
    const long long base = sys::page_bytes_in_use();
    constexpr std::size_t block = 1 << 20;
    sys::reset_page_peak();
    sys::set_page_budget(base + 5 * block);
    std::vector<void*> got(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < got.size(); ++t)
        threads.emplace_back([&got, t] { got[t] = sys::page_alloc(block); });
    for (std::thread& t : threads)
        t.join();
    int had = 0;
    for (void* p : got)
        if (p) {
            ++had;
            const auto* bytes = static_cast<const unsigned char*>(p);
            EXPECT_TRUE(std::all_of(bytes, bytes + block, [](unsigned char c) { return c == 0; }));
        }
    EXPECT_EQ(had, 5);
    EXPECT_EQ(sys::page_bytes_in_use(), base + 5 * (long long)block);
    EXPECT_EQ(sys::page_bytes_peak(), base + 5 * (long long)block);
    for (void* p : got)
        sys::page_free(p);
    sys::set_page_budget(-1);
    EXPECT_EQ(sys::page_bytes_in_use(), base);
}

// A tally counts the blocks given on its own thread while it lives, inside a nested one too;
// a block given back meanwhile stays counted, a refused one never is.
TEST(PageMemory, TallyCountsTheBlocksOfItsThread) {
    const sys::PageTally outer;
    void* kept = sys::page_alloc(100);
    long long inner_bytes = 0;
    {
        const sys::PageTally inner;
        sys::page_free(sys::page_alloc(1 << 20));
        std::thread([] { sys::page_free(sys::page_alloc(5000)); }).join();
        sys::set_page_budget(sys::page_bytes_in_use());
        EXPECT_EQ(sys::page_alloc(10), nullptr);
        sys::set_page_budget(-1);
        inner_bytes = inner.bytes();
    }
    sys::page_free(kept);
    EXPECT_EQ(inner_bytes, 1 << 20);
    EXPECT_EQ(outer.bytes(), 100 + (1 << 20));
}

TEST(Random, SequenceRangeAndReproducibility) {
    // The C standard's example generator, seeded with 1.
    sys::random_seed(1);
    const int first[] = {16838, 5758, 10113, 17515, 31051};
    for (int v : first)
        EXPECT_EQ(sys::random_next(), v);

    sys::random_seed(12345);
    std::vector<int> seq;
    int lo = sys::random_max, hi = 0;
    for (int i = 0; i < 100000; ++i) {
        seq.push_back(sys::random_next());
        lo = std::min(lo, seq.back());
        hi = std::max(hi, seq.back());
    }
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 32767);
    sys::random_seed(12345);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(sys::random_next(), seq[i]);
}

using Files = TempDir;

TEST_F(Files, WholeFileReadsAndFileOperations) {
    const std::string bin = std::string("a\0b\r\n\xff", 6);
    const std::string p = write("f.bin", bin);
    std::vector<char> bytes{'z'};
    ASSERT_TRUE(sys::read_whole_file(p, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), bin);
    EXPECT_EQ(sys::file_size(p), 6);
    EXPECT_TRUE(sys::file_exists(p));

    ASSERT_TRUE(sys::read_whole_file(write("empty", ""), bytes));
    EXPECT_TRUE(bytes.empty());
    bytes = {'z'};
    EXPECT_FALSE(sys::read_whole_file(dir + "/missing", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(sys::file_exists(dir)); // a folder is not a file
    EXPECT_EQ(sys::file_size(dir + "/missing"), -1);

    ASSERT_TRUE(sys::rename_file(p, dir + "/g.bin"));
    EXPECT_FALSE(sys::file_exists(p));
    EXPECT_TRUE(sys::delete_file(dir + "/g.bin"));
    EXPECT_FALSE(sys::delete_file(dir + "/g.bin"));
    EXPECT_EQ(sys::file_title("/a/b/model.mod"), "model.mod");
    EXPECT_EQ(sys::file_title("model.mod"), "model.mod");
}

TEST_F(Files, ProgramAndCurrentFolder) {
    ::setenv("VELDARIN_HOME", dir.c_str(), 1);
    EXPECT_EQ(sys::program_dir(), dir + "/");
    sys::set_program_dir("/somewhere/else");
    EXPECT_EQ(sys::program_dir(), "/somewhere/else/");
    sys::set_program_dir("");
    ::unsetenv("VELDARIN_HOME");
    const std::string exe = sys::program_dir(); // the test executable's folder
    EXPECT_TRUE(sys::file_exists(exe + "test_platform_sys")) << exe;

    const std::string before = sys::current_dir();
    ASSERT_TRUE(sys::set_current_dir(dir));
    char real[4096];
    ASSERT_NE(::realpath(dir.c_str(), real), nullptr);
    EXPECT_EQ(sys::current_dir(), real);
    EXPECT_FALSE(sys::set_current_dir(dir + "/missing"));
    ASSERT_TRUE(sys::set_current_dir(before));
}

// ---- Work folder ---------------------------------------------------------------------------

using WorkFolders = TempDir;

// A child process that makes its work folder in `dir` with one work file in it, reports the
// folder through a pipe and then either ends at once without any clean-up (as a killed run
// does) or lives until its `release` pipe is closed.
struct ChildRun {
    pid_t pid = -1;
    std::string folder;
    int release = -1;
    ChildRun(const std::string& dir, bool ends_at_once) {
        int report[2], hold[2];
        if (::pipe(report) != 0 || ::pipe(hold) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::close(report[0]);
            ::close(hold[1]);
            const std::string f = sys::open_work_folder(dir);
            std::ofstream(f + "jacob.bin") << "work";
            (void)!::write(report[1], f.data(), f.size());
            ::close(report[1]);
            char c;
            if (!ends_at_once) (void)!::read(hold[0], &c, 1);
            ::_exit(0);
        }
        ::close(report[1]);
        ::close(hold[0]);
        release = hold[1];
        char buf[512];
        ssize_t n;
        while ((n = ::read(report[0], buf, sizeof buf)) > 0)
            folder.append(buf, std::size_t(n));
        ::close(report[0]);
    }
    void end() {
        if (release >= 0) ::close(release);
        release = -1;
        if (pid > 0) ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ~ChildRun() { end(); }
};

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

TEST_F(WorkFolders, EachRunHasItsOwnAndTakesItAlong) {
    const std::string folder = sys::open_work_folder(dir);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.rfind(dir + "/work." + std::to_string(::getpid()) + ".", 0), 0u) << folder;
    EXPECT_EQ(sys::open_work_folder(dir), folder); // asked again: the same
    EXPECT_EQ(sys::work_folder(), folder);
    ChildRun other(dir, false);
    EXPECT_NE(other.folder, folder);
    std::ofstream(folder + "grfinite_r.bin") << "work";
    sys::close_work_folder();
    EXPECT_FALSE(exists(folder));
    EXPECT_EQ(sys::work_folder(), "");
    EXPECT_TRUE(exists(other.folder + "jacob.bin")); // the other run's stays
    other.end();

    std::string error;
    EXPECT_EQ(sys::open_work_folder(dir + "/missing", &error), "");
    EXPECT_EQ(error, "No such file or directory");
}

// A start removes the folders of runs that are gone, with their files, and keeps a live run's
// folder and everything that is not a work folder of this program.
TEST_F(WorkFolders, AStartRemovesTheFoldersOfRunsThatAreGone) {
    ChildRun live(dir, false), killed(dir, true); // each start sweeps: the live one first
    killed.end();
    ASSERT_TRUE(exists(killed.folder + "jacob.bin"));
    const std::string mine[] = {"work.old", "work.12.abcdef", "work.13.abcdef", "work.14.abc",
                                "work.16.abcdef"};
    for (const std::string& name : mine)
        ::mkdir((dir + "/" + name).c_str(), 0755);
    write("work.12.abcdef/lock", "not a lock held by anyone, but a file of the user's");
    write("work.13.abcdef/notes.txt", "a folder without a lock file is never emptied");
    write("work.15.abcdef", "a file, not a folder");
    write("work.16.abcdef/lock", ""); // a starting run between making its lock and taking it

    const std::string folder = sys::open_work_folder(dir);
    EXPECT_FALSE(exists(killed.folder));
    EXPECT_TRUE(exists(live.folder + "jacob.bin"));
    EXPECT_FALSE(exists(dir + "/work.12.abcdef")); // named like ours, its lock free: gone
    for (const char* kept : {"work.old", "work.13.abcdef/notes.txt", "work.14.abc",
                             "work.15.abcdef", "work.16.abcdef/lock"})
        EXPECT_TRUE(exists(dir + "/" + kept)) << kept;
    live.end();
    EXPECT_EQ(sys::remove_stale_work_folders(dir), 1);
    EXPECT_FALSE(exists(live.folder));
    EXPECT_TRUE(exists(folder)); // this run's own stays while it lives
    sys::close_work_folder();
}

// Another start's sweep holds a new lock file's lock for the moment of its look: the run that
// made the file waits for it rather than starting without its lock.
TEST_F(WorkFolders, ALockHeldForALookIsWaitedFor) {
    const std::string lock = write("lock", "");
    const int sweep = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
    const int own = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(sweep, LOCK_EX | LOCK_NB), 0);
    std::thread look([sweep] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::close(sweep);
    });
    EXPECT_TRUE(sys::detail::hold_lock(own));
    look.join();
    ::close(own);
}

TEST(Machine, MemoryOverrideAndProcessorQuery) {
    const std::uint64_t real = sys::physical_memory_bytes();
    EXPECT_GT(real, 0u);
    sys::set_physical_memory_override(512ull << 20);
    EXPECT_EQ(sys::physical_memory_bytes(), 512ull << 20);
    sys::set_physical_memory_override(0);
    EXPECT_EQ(sys::physical_memory_bytes(), real);

    std::uint32_t r[4];
    sys::cpuid(0, 0, r);
    EXPECT_GT(r[0], 0u); // highest standard leaf
    sys::cpuid(1, 0, r);
    EXPECT_TRUE(r[3] & (1u << 26)); // SSE2 on every x86-64

    const sys::CalendarTime t = sys::calendar_now();
    EXPECT_GE(t.year, 2020);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.millisecond >= 0 && t.millisecond < 1000);
    EXPECT_GT(sys::os_version().major, 0);
}

// ---- Saving files ------------------------------------------------------------------------

using Saving = TempDir;

// Names of the files in `dir`, hidden ones included, sorted.
std::string listing(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::string all;
    for (const std::string& n : names)
        all += n + " ";
    return all;
}

// Runs `body` in a child process on a fresh 64 KiB tmpfs mounted at `dir` in a mount namespace
// of its own (a user namespace too when not root), so that a real disk fills up. Returns the
// child's verdict: "" when `body` returned "", its text otherwise, or "skip: ..." when this
// machine lets no test mount a file system.
std::string on_small_file_system(const std::string& dir,
                                 const std::function<std::string(const std::string&)>& body) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_fds[0]);
        std::string verdict;
        const int flags = CLONE_NEWNS | (::geteuid() == 0 ? 0 : CLONE_NEWUSER);
        if (::unshare(flags) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0)
            verdict = std::string("skip: ") + std::strerror(errno);
        else
            verdict = body(dir);
        if (!verdict.empty()) (void)!::write(pipe_fds[1], verdict.data(), verdict.size());
        ::_exit(0);
    }
    ::close(pipe_fds[1]);
    std::string verdict;
    char buf[256];
    ssize_t n;
    while ((n = ::read(pipe_fds[0], buf, sizeof buf)) > 0)
        verdict.append(buf, static_cast<std::size_t>(n));
    ::close(pipe_fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status)) return "child ended abnormally";
    return verdict;
}

TEST_F(Saving, FullDiskLeavesTheOldFileOrNothing) {
    const std::string verdict = on_small_file_system(dir, [](const std::string& d) {
        const std::string old_text = "the old file\n";
        if (!sys::save_file(d + "/kept.dat", old_text)) return std::string("first save failed");
        const std::string big(200 * 1024, 'x'); // more than the whole file system
        std::string error;
        if (sys::save_file(d + "/kept.dat", big, &error)) return std::string("saved past full");
        if (error != "No space left on device") return "cause: " + error;
        if (read(d + "/kept.dat") != old_text) return std::string("old file changed");
        if (sys::save_file(d + "/new.dat", big, &error)) return std::string("new saved");
        if (listing(d) != "kept.dat ") return "left behind: " + listing(d);
        return std::string();
    });
    if (verdict.rfind("skip: ", 0) == 0) GTEST_SKIP() << verdict;
    EXPECT_EQ(verdict, "");
}

TEST_F(Saving, InjectedFailureAtEveryStage) {
    struct Case {
        long long fail_after; // bytes before the injected full disk; negative: none
        bool saved;
    };
    for (const bool unnamed : {true, false}) {
        sys::set_unnamed_temp_files(unnamed);
        const std::string target = write("model.mod", "old contents");
        for (const Case c : {Case{0, false}, Case{5, false}, Case{-1, true}}) {
            SCOPED_TRACE(unnamed);
            sys::set_save_failure(c.fail_after);
            sys::AtomicFile out(target);
            ASSERT_TRUE(out.opened());
            const bool written = out.write("new ") && out.write(std::string("contents"));
            EXPECT_EQ(written && out.commit(), c.saved) << c.fail_after;
            sys::set_save_failure(-1);
            EXPECT_EQ(read(target), c.saved ? "new contents" : "old contents");
            EXPECT_EQ(out.error(), c.saved ? "" : "No space left on device");
            EXPECT_FALSE(out.write("more")); // after commit or failure, writes go nowhere
            EXPECT_EQ(listing(dir), "model.mod ");
        }
    }
    sys::set_unnamed_temp_files(true);
}

// Whether this folder's file system gives unnamed files (the named ones are used elsewhere).
bool unnamed_files_in(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR, 0600);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

TEST_F(Saving, NothingLeftWhenNotCommittedOrNotCreatable) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed);
        sys::set_unnamed_temp_files(unnamed);
        {
            sys::AtomicFile out(dir + "/abandoned.dat");
            ASSERT_TRUE(out.write("half"));
            // While it is written the temporary file has a name only where it must have one.
            const std::string seen = listing(dir);
            EXPECT_EQ(seen == "", unnamed && unnamed_files_in(dir)) << seen;
        }
        EXPECT_EQ(listing(dir), "");
    }
    sys::set_unnamed_temp_files(true);

    std::string error;
    EXPECT_FALSE(sys::save_file(dir + "/missing/x.dat", "text", &error));
    EXPECT_EQ(error, "No such file or directory");
    ::mkdir((dir + "/sub").c_str(), 0755);
    EXPECT_FALSE(sys::save_file(dir + "/sub", "text", &error)); // a folder is not replaced
    EXPECT_EQ(error, "Is a directory");
    EXPECT_EQ(listing(dir), "sub ");
    sys::AtomicFile never(dir + "/missing/y.dat");
    EXPECT_FALSE(never.opened());
    EXPECT_FALSE(never.commit());
}

// A writer killed in the middle of a save: with an unnamed temporary file nothing is left; with
// a named one the next save into the folder removes it. A live writer's temporary file, and
// files of other programs that look alike, stay.
TEST_F(Saving, AKilledSaveLeavesNothingOrIsRemovedByTheNextSave) {
    // A child that starts a save of `name`, writes half of it, and either ends at once without
    // any clean-up or waits for its pipe to close.
    struct Writer {
        pid_t pid;
        int hold[2];
        Writer(const std::string& path, bool dies) {
            int ready[2];
            if (::pipe(ready) != 0 || ::pipe(hold) != 0) std::abort();
            pid = ::fork();
            if (pid == 0) {
                ::close(hold[1]);
                {
                    sys::AtomicFile out(path);
                    (void)!out.write(std::string(100000, 'x'));
                    (void)!::write(ready[1], "w", 1);
                    if (dies) ::_exit(0); // no clean-up, as for a kill
                    char c;
                    (void)!::read(hold[0], &c, 1);
                } // the live writer gives its save up as it ends
                ::_exit(0);
            }
            char c;
            (void)!::read(ready[0], &c, 1);
            ::close(ready[0]);
            ::close(ready[1]);
            ::close(hold[0]);
        }
        ~Writer() {
            ::close(hold[1]);
            ::waitpid(pid, nullptr, 0);
        }
    };
    write(".data.dat.AbC123", "another program's temporary file");
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed);
        sys::set_unnamed_temp_files(unnamed);
        const bool nameless = unnamed && unnamed_files_in(dir);
        Writer live(dir + "/live.dat", false);
        { Writer killed(dir + "/model.mod", true); }
        const std::string left = listing(dir);
        EXPECT_EQ(left.find(".model.mod.veldarin.") == std::string::npos, nameless) << left;
        ASSERT_TRUE(sys::save_file(dir + "/next.dat", "next"));
        const std::string after = listing(dir);
        EXPECT_EQ(after.find(".model.mod."), std::string::npos) << after;
        EXPECT_EQ(after.find(".live.dat.veldarin.") == std::string::npos, nameless) << after;
        EXPECT_NE(after.find(".data.dat.AbC123 "), std::string::npos) << after;
        std::remove((dir + "/next.dat").c_str());
    }
    sys::set_unnamed_temp_files(true);
    EXPECT_EQ(listing(dir), ".data.dat.AbC123 "); // the live writers' files went with them
}

TEST_F(Saving, LinksAreFollowedAndModesKept) {
    const std::string real = write("real.dat", "old");
    ::chmod(real.c_str(), 0640);
    ASSERT_EQ(::symlink("real.dat", (dir + "/link.dat").c_str()), 0);
    ASSERT_TRUE(sys::save_file(dir + "/link.dat", "new"));
    struct stat st;
    ASSERT_EQ(::lstat((dir + "/link.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read(real), "new");
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A name at the system's limit still gets its temporary file.
    const std::string longest(255, 'n');
    ASSERT_TRUE(sys::save_file(dir + "/" + longest, "long"));
    EXPECT_EQ(read(dir + "/" + longest), "long");
}

} // namespace

TEST(Verify, HoldsQuietlyAndStopsWithTheValueWhenBroken) {
    const int columns = 3;
    VERIFY(columns > 0, columns);
    EXPECT_DEATH(VERIFY(columns > 4, columns), "VERIFY\\(columns > 4\\) failed: columns = 3");
}
