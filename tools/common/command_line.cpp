#include "command_line.h"

#include "tool_common.h"
#include "version.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t CONSOLE_WIDTH = 79;

bool SameWord(const char* given, const char* word, bool anyCase)
{
    if (!anyCase)
        return std::strcmp(given, word) == 0;
    for (; *given && *word; ++given, ++word)
        if (std::tolower(static_cast<unsigned char>(*given)) != *word)
            return false;
    return *given == *word;
}

bool ParseWord(Option& option, const wchar_t* value)
{
    char given[32];
    AsciiArgument(value, given, sizeof given);
    for (unsigned long index = 0; option.words[index]; ++index) {
        if (SameWord(given, option.words[index], option.anyCase)) {
            option.number = index;
            option.wordsGiven |= 1ul << index;
            return true;
        }
    }
    return false;
}

bool ParseValue(Option& option, const wchar_t* value)
{
    option.value = value;
    switch (option.kind) {
    case ValueKind::NUMBER:
        return ParseNumberW(value, option.min, option.max, option.hex, option.number);
    case ValueKind::WORD: return ParseWord(option, value);
    default: return true;
    }
}

Option* FindOption(CommandLine& line, const char* name)
{
    for (int i = 0; i < line.optionCount; ++i)
        if (std::strcmp(name, line.options[i].name) == 0)
            return &line.options[i];
    return nullptr;
}

// Text broken at spaces into lines that fit the console; a word longer
// than a line is cut.
void PrintFitted(const char* text)
{
    while (*text) {
        const char* end = std::strchr(text, '\n');
        std::size_t length = end ? static_cast<std::size_t>(end - text) : std::strlen(text);
        std::size_t next = length + (end != nullptr);
        if (length > CONSOLE_WIDTH) {
            length = CONSOLE_WIDTH;
            while (length > 0 && text[length] != ' ')
                --length;
            next = length ? length + 1 : CONSOLE_WIDTH;
            length = length ? length : CONSOLE_WIDTH;
        }
        std::fprintf(stderr, "%.*s\n", static_cast<int>(length), text);
        text += next;
    }
}

int RefuseArgument(const CommandLine& line, const wchar_t* argument, bool isOption)
{
    // As the console shows it.
    char shown[200];
    NarrowPath(argument, shown, sizeof shown);
    if (isOption && line.command)
        return CommandLineError(line, "%s takes no option %s (%s --help lists the options)",
                                line.command, shown, line.tool);
    if (isOption || line.maxFiles == 0)
        return CommandLineError(line, "unknown %s %s (%s --help lists the options)",
                                isOption ? "option" : "argument", shown, line.tool);
    return CommandLineError(line, "one file too many: %s", shown);
}

} // namespace

Option FlagOption(const char* name)
{
    Option option = {};
    option.name = name;
    option.kind = ValueKind::NONE;
    return option;
}

Option TextOption(const char* name, const char* takes)
{
    Option option = FlagOption(name);
    option.kind = ValueKind::TEXT;
    option.takes = takes;
    return option;
}

Option NumberOption(const char* name, unsigned long min, unsigned long max, bool hex,
                    const char* takes, unsigned long byDefault)
{
    Option option = TextOption(name, takes);
    option.kind = ValueKind::NUMBER;
    option.min = min;
    option.max = max;
    option.hex = hex;
    option.number = byDefault;
    return option;
}

Option WordOption(const char* name, const char* const* words, bool anyCase, const char* takes)
{
    Option option = TextOption(name, takes);
    option.kind = ValueKind::WORD;
    option.words = words;
    option.anyCase = anyCase;
    return option;
}

CommandLine ToolCommandLine(const char* tool, const char* usage, const char* help,
                            int wrongExit, Option* options, int optionCount, int maxFiles)
{
    CommandLine line = {};
    line.tool = tool;
    line.usage = usage;
    line.help = help;
    line.wrongExit = wrongExit;
    line.options = options;
    line.optionCount = optionCount;
    line.maxFiles = maxFiles;
    return line;
}

int AnswerHelp(const CommandLine& line, int argc, wchar_t** argv)
{
    char only[16] = "";
    if (argc == 2)
        AsciiArgument(argv[1], only, sizeof only);
    if (!std::strcmp(only, "--help") || !std::strcmp(only, "-h") || !std::strcmp(only, "/?")) {
        std::fputs(line.usage, stdout);
        std::fputs(line.help, stdout);
        return 0;
    }
    if (!std::strcmp(only, "--version")) {
        std::printf("%s %s\n", line.tool, TAPELARK_VERSION);
        return 0;
    }
    return -1;
}

int ParseCommandLine(CommandLine& line, int argc, wchar_t** argv, int first)
{
    if (first == 1 && AnswerHelp(line, argc, argv) == 0)
        return 0;
    for (int i = first; i < argc; ++i) {
        char arg[64];
        AsciiArgument(argv[i], arg, sizeof arg);
        if (line.programAfterDashes && !std::strcmp(arg, "--")) {
            line.program = i + 1;
            break;
        }
        const bool isOption = arg[0] == '-' && arg[1];
        if (!isOption && line.fileCount < line.maxFiles) {
            line.files[line.fileCount++] = argv[i];
            continue;
        }
        Option* option = isOption ? FindOption(line, arg) : nullptr;
        if (!option)
            return RefuseArgument(line, argv[i], isOption);
        if (option->given && line.onceEach)
            return CommandLineError(line, "%s is given twice", option->name);
        option->given = true;
        if (option->kind == ValueKind::NONE)
            continue;
        if (i + 1 == argc)
            return CommandLineError(line, "a value is missing after %s, which takes %s",
                                    option->name, option->takes);
        if (!ParseValue(*option, argv[++i]))
            return RefuseValue(line, *option);
    }
    if (line.fileCount < line.minFiles)
        return CommandLineError(line, "%s needs %d file%s", line.command ? line.command : line.tool,
                                line.minFiles, line.minFiles == 1 ? "" : "s");
    return -1;
}

int CommandLineError(const CommandLine& line, const char* format, ...)
{
    char text[600];
    const int prefix = std::snprintf(text, sizeof text, "%s: ", line.tool);
    va_list args;
    va_start(args, format);
    std::vsnprintf(text + prefix, sizeof text - prefix, format, args);
    va_end(args);
    PrintFitted(text);
    std::fputs(line.usage, stderr);
    return line.wrongExit;
}

int RefuseValue(const CommandLine& line, const Option& option)
{
    char shown[200];
    return CommandLineError(line, "%s takes %s, not %s", option.name, option.takes,
                            NarrowPath(option.value, shown, sizeof shown));
}

bool ParseNumberW(const wchar_t* text, unsigned long min, unsigned long max, bool hex,
                  unsigned long& number)
{
    // A number is plain ASCII: anything else already makes it wrong.
    char narrow[32];
    std::size_t at = 0;
    for (; text && text[at]; ++at) {
        if (at + 1 == sizeof narrow || text[at] > 0x7F)
            return false;
        narrow[at] = static_cast<char>(text[at]);
    }
    narrow[at] = '\0';
    const bool isHex = hex && narrow[0] == '0' && (narrow[1] == 'x' || narrow[1] == 'X');
    const char* digits = isHex ? narrow + 2 : narrow;
    // strtoul would take a sign or leading spaces.
    const unsigned char lead = static_cast<unsigned char>(*digits);
    if (!(isHex ? std::isxdigit(lead) : std::isdigit(lead)))
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(digits, &end, isHex ? 16 : 10);
    if (*end != '\0' || errno != 0 || value < min || value > max)
        return false;
    number = value;
    return true;
}

const char* AsciiArgument(const wchar_t* argument, char* text, std::size_t size)
{
    std::size_t i = 0;
    for (; argument[i] && i + 1 < size; ++i)
        text[i] = argument[i] < 0x80 ? static_cast<char>(argument[i]) : '?';
    text[i] = '\0';
    return text;
}
