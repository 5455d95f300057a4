#include "app/log.h"

#include <gtest/gtest.h>

#include "support/files.h"

namespace {

// The log is written in text mode: each line ends as the system's text files do.
#ifdef _WIN32
#define LINE_END "\r\n"
#else
#define LINE_END "\n"
#endif

TEST(Log, BannerThenOneLinePerMessageInOrder) {
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.Path());
    CreateLog();
    EXPECT_EQ(ReadWholeFile(LogFileName), "__________BSP - Log__________" LINE_END);
    WriteLog("DDraw is running..");
    WriteLog("");
    WriteLog("100% %s %d %n done");
    EXPECT_EQ(ReadWholeFile(LogFileName),
              "__________BSP - Log__________" LINE_END "DDraw is running.." LINE_END LINE_END
              "100% %s %d %n done" LINE_END);
}

TEST(Log, ASecondRunReplacesThePreviousLog) {
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.Path());
    CreateLog();
    WriteLog("Loading tree ..");
    CreateLog();
    WriteLog("Rendering !");
    EXPECT_EQ(ReadWholeFile(LogFileName),
              "__________BSP - Log__________" LINE_END "Rendering !" LINE_END);
}

TEST(Log, AnUnwritableLogIsIgnored) {
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.Path());
    std::filesystem::create_directory(LogFileName); // a directory where the file would go
    CreateLog();
    WriteLog("Loading tree ..");
    EXPECT_TRUE(std::filesystem::is_directory(LogFileName));
}

} // namespace
