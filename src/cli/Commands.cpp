#include "cli/Commands.h"

#include "cli/AnalyzerLink.h"
#include "cli/Connection.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>

const char *const kExitStatusHelp = "Exit status: 0 complete, 1 usage error, 2 no link or no analyzer, "
                                    "3 incomplete (some records unreadable, or the output not written).";

CLI::Option *addIntegerOption(CLI::App &command, const std::string &name, int &value, const std::string &help)
{
    const CLI::Validator decimal(
        [](std::string &text) {
            const size_t sign = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
            const size_t digits = text.find_first_not_of('0', sign);
            if (text.size() == sign || text.find_first_not_of("0123456789", sign) != std::string::npos)
                return "not a whole number in base 10: " + text;
            // The digits without their leading zeros, which alone make CLI11 read octal.
            const std::string magnitude = digits == std::string::npos ? "0" : text.substr(digits);
            text = (text[0] == '-' && magnitude != "0" ? "-" : "") + magnitude;
            return std::string();
        },
        "");
    return command.add_option(name, value, help)->transform(decimal);
}

bool parseSectorList(const std::string &text, std::array<bool, kAreaCount> &areas)
{
    auto number = [](const char *&p, const char *end, int &value) {
        const auto result = std::from_chars(p, end, value);
        p = result.ptr;
        return result.ec == std::errc() && value >= 1 && value <= kSectorCount;
    };
    std::array<bool, kAreaCount> chosen{};
    const char *p = text.data();
    const char *const end = p + text.size();
    while (true) {
        int first = 0, last = 0;
        if (!number(p, end, first))
            return false;
        last = first;
        if (p < end && *p == '-' && (!number(++p, end, last) || last < first))
            return false;
        for (int sector = first; sector <= last; ++sector)
            chosen[size_t(sector - 1)] = true;
        if (p == end)
            break;
        if (*p++ != ',')
            return false;
    }
    areas = chosen;
    return true;
}

std::unique_ptr<AnalyzerLink> openAnalyzer(const ConnectionOptions &options, const char *command, int &status)
{
    COMSETT settings;
    std::string error;
    if (!toSettings(options, settings, error)) {
        std::fprintf(stderr, "pullrec-cli %s: %s\n", command, error.c_str());
        status = ExitUsage;
        return nullptr;
    }
    auto analyzer = std::make_unique<AnalyzerLink>(settings);
    if (options.verbose)
        analyzer->reportTrafficAs(command);
    if (!analyzer->open()) {
        std::fprintf(stderr, "pullrec-cli %s: %s\n", command, analyzer->error().c_str());
        status = ExitNoAnalyzer;
        return nullptr;
    }
    return analyzer;
}
