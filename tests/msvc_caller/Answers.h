// For test programs that have no C runtime: a line on standard output for each
// wrong answer (the call, what came back, what was expected), a closing line
// when every answer held, and the number of wrong answers as the exit status.
#ifndef ANSWERS_H
#define ANSWERS_H

// Declared here where <windows.h> is not included, so that a caller built
// from the public header alone needs nothing else.
#ifndef _INC_WINDOWS
#ifdef __cplusplus
extern "C" {
#endif
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size, unsigned long* written,
                                              void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned status);
#ifdef __cplusplus
}
#endif
#endif

static unsigned wrongAnswers;

// The length of a literal is known; a loop that counts it would be turned
// into a call of strlen, which no runtime supplies.
#define SAY(literal) Say(literal, sizeof literal - 1)

static void Say(const char* text, unsigned long length)
{
    unsigned long written = 0;
    WriteFile(GetStdHandle((unsigned long)-11), text, length, &written, 0);  // STD_OUTPUT_HANDLE
}

static void SayNumber(long number)
{
    char digits[12];
    unsigned long at = sizeof digits;
    unsigned long magnitude = number < 0 ? 0ul - (unsigned long)number : (unsigned long)number;
    do
    {
        digits[--at] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0)
        digits[--at] = '-';
    Say(digits + at, sizeof digits - at);
}

// call: the call as written, a literal.
#define EXPECT_ANSWER(call, expected) ExpectAnswer(#call, sizeof #call - 1, (long)(call), expected)

static void ExpectAnswer(const char* call, unsigned long length, long answer, long expected)
{
    if (answer == expected)
        return;
    ++wrongAnswers;
    Say(call, length);
    SAY(" returned ");
    SayNumber(answer);
    SAY(", expected ");
    SayNumber(expected);
    SAY("\n");
}

// program: the program's name, a literal.
#define FINISH(program) Finish(program, sizeof program - 1)

static void Finish(const char* program, unsigned long length)
{
    if (wrongAnswers == 0)
    {
        Say(program, length);
        SAY(": every answer held\n");
    }
    ExitProcess(wrongAnswers);
}

#endif
