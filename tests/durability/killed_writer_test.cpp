// A child process rewrites dxqb.ini in a loop, alternating two records, and is
// killed with SIGKILL at random moments. After every kill the file must hold one
// of the two contents whole: never missing, empty or cut short.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>

#include <gtest/gtest.h>

#include "settings/options.h"
#include "support.h"

using namespace marlet;
using Clock = std::chrono::steady_clock;

namespace {

const int kTrials = 1000;

cmOptions recordA() {
    cmOptions o;
    o.dxPath = "C:\\Dorvex\\";
    o.configPath = "C:\\Dorvex\\Config\\";
    return o;
}

// Much longer than A, so a cut-off write cannot pass for either content.
cmOptions recordB() {
    cmOptions o;
    o.displayTwain = o.displayDorvex = o.promptMemo = o.debugMode = true;
    o.dxPath = "D:\\" + std::string(64 * 1024, 'd') + "\\";
    o.configPath = "E:\\" + std::string(64 * 1024, 'c') + "\\";
    return o;
}

[[noreturn]] void writeForever(const std::string& file, int ready) {
    installWithPosixFiles();
    const cmOptions a = recordA(), b = recordB();
    char byte = 1;
    if (write(ready, &byte, 1) != 1) _exit(2);
    for (;;) {
        b.writeOptions(file);
        a.writeOptions(file);
    }
}

void sleepMicroseconds(long us) {
    timespec t = {us / 1000000, (us % 1000000) * 1000};
    while (nanosleep(&t, &t) != 0) {
    }
}

}  // namespace

TEST(KilledWriter, FileIsAlwaysTheWholeOldOrTheWholeNewContent) {
    installWithPosixFiles();
    TempFolder dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string file = dir.path + "/dxqb.ini";
    const std::string textA = recordA().toText(), textB = recordB().toText();
    ASSERT_TRUE(posix::replaceFile(file, textA));

    // One cycle (two writes) takes about this long here; kills are spread over
    // about three cycles so that they land at every point of a write.
    auto start = Clock::now();
    for (int i = 0; i < 10; i++) {
        recordB().writeOptions(file);
        recordA().writeOptions(file);
    }
    long cycleUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count() / 10;
    long windowUs = std::min(std::max(3 * cycleUs, 200L), 20000L);

    unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", cycle " + std::to_string(cycleUs) + " us");
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, windowUs);
    int sawA = 0, sawB = 0;
    for (int trial = 0; trial < kTrials; trial++) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            writeForever(file, pipeFds[1]);
        }
        close(pipeFds[1]);
        char byte = 0;
        bool started = read(pipeFds[0], &byte, 1) == 1;
        close(pipeFds[0]);
        sleepMicroseconds(delay(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(started) << "trial " << trial;
        ASSERT_TRUE(WIFSIGNALED(status)) << "trial " << trial << ": the writer ended by itself";

        std::string bytes;
        ASSERT_TRUE(posix::readFile(file, bytes)) << "trial " << trial << ": file missing";
        if (bytes == textA) {
            sawA++;
        } else if (bytes == textB) {
            sawB++;
        } else {
            FAIL() << "trial " << trial << ": " << bytes.size() << " bytes, neither old nor new";
        }
        // A killed writer may leave its temporary file behind; only dxqb.ini matters.
        for (const std::string& name : dir.names())
            if (name != "dxqb.ini") unlink((dir.path + "/" + name).c_str());
    }
    // Kills fell on both sides of the writes, not all before the first one.
    EXPECT_GT(sawA, 0);
    EXPECT_GT(sawB, 0);
    printf("%d kills over %ld us windows (one cycle %ld us): %d short records, %d long\n",
           kTrials, windowUs, cycleUs, sawA, sawB);
}
