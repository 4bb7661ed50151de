#include "driver/command_line.h"

#include <gtest/gtest.h>

namespace basQuorvaneService {
namespace {

TEST(CommandLine, ArgumentsStartAfterTheProgramPath) {
    EXPECT_EQ(ArgumentsAfterProgram(L"C:\\svc\\QuorvaneService.exe /debugmode"), L"/debugmode");
    EXPECT_EQ(ArgumentsAfterProgram(L"\"C:\\Program Files\\Q\\Q.exe\"   a b"), L"a b");
    EXPECT_EQ(ArgumentsAfterProgram(L"\"C:\\unterminated"), L"");
    EXPECT_EQ(ArgumentsAfterProgram(L"Q.exe"), L"");
    EXPECT_EQ(ArgumentsAfterProgram(L""), L"");
}

TEST(CommandLine, DebugSwitchIsACaseInsensitiveSubstringOfTheArguments) {
    const struct {
        const wchar_t* commandLine;
        bool debug;
    } cases[] = {
        {L"Q.exe /debugmode", true},
        {L"Q.exe /DEBUGMODE", true},
        {L"Q.exe /DeBuGmOdE", true},
        {L"Q.exe other /debugmodeX", true},   // followed directly by more characters
        {L"Q.exe x/debugmode", true},
        {L"Q.exe -debugmode", false},
        {L"Q.exe /debugmod", false},
        {L"Q.exe /debug mode", false},
        {L"Q.exe", false},
        {L"\"C:\\x/debugmode\\Q.exe\"", false},  // the program's own path does not count
        {L"\"C:\\x/debugmode\\Q.exe\" /Debugmode", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasDebugSwitch(c.commandLine), c.debug) << std::wstring(c.commandLine).size();
    }
}

}  // namespace
}  // namespace basQuorvaneService
