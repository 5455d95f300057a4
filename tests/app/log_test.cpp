#include "app/log.h"

#include <gtest/gtest.h>

#include "support/files.h"

namespace {

TEST(Log, BannerThenOneLinePerMessageInOrder) {
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.Path());
    CreateLog();
    EXPECT_EQ(ReadWholeFile(LogFileName), "__________BSP - Log__________\n");
    WriteLog("DDraw is running..");
    WriteLog("");
    WriteLog("100% %s %d %n done");
    EXPECT_EQ(ReadWholeFile(LogFileName), "__________BSP - Log__________\nDDraw is running..\n\n"
                                          "100% %s %d %n done\n");
}

TEST(Log, ASecondRunReplacesThePreviousLog) {
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.Path());
    CreateLog();
    WriteLog("Loading tree ..");
    CreateLog();
    WriteLog("Rendering !");
    EXPECT_EQ(ReadWholeFile(LogFileName), "__________BSP - Log__________\nRendering !\n");
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
