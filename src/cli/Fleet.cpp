#include "cli/Fleet.h"

#include "cli/Commands.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <map>

namespace
{

// A section's keys as a command line, checked by the options' own rules.
bool parseSection(FleetAnalyzer &analyzer, const std::vector<CLI::ConfigItem> &items, std::string &error)
{
    CLI::App app(analyzer.name);
    addConnectionOptions(app, analyzer.connection);
    auto *sectors = app.add_option("--sectors", analyzer.sectors);
    sectors->check(CLI::Validator(
        [](std::string &text) {
            std::array<bool, kLogAreas> areas{};
            return parseSectorList(text, areas) ? std::string() : "not a list of sectors 1-15: " + text;
        },
        "LIST"));
    auto *energy = app.add_flag("--energy", analyzer.energy);
    auto *all = app.add_flag("--all", analyzer.all);
    sectors->excludes(energy)->excludes(all); // as the command line refuses them together
    energy->excludes(all);

    std::vector<std::string> args;
    for (const CLI::ConfigItem &item : items) {
        // The INI reader splits values on commas; "sectors = 1,3" is one list all the same.
        std::string value;
        for (const std::string &part : item.inputs)
            value += (value.empty() ? "" : ",") + part;
        const CLI::Option *option = app.get_option_no_throw("--" + item.name);
        if (option && option->get_expected_max() == 0) { // a flag: "energy = true"
            int64_t on = 0;
            try {
                on = CLI::detail::to_flag_value(value);
            } catch (const std::exception &) {
                error = "[" + analyzer.name + "] " + item.name + ": not true or false: " + value;
                return false;
            }
            if (on > 0)
                args.push_back("--" + item.name);
            continue;
        }
        args.push_back("--" + item.name);
        args.push_back(value);
    }
    std::reverse(args.begin(), args.end()); // CLI11 takes them last first
    try {
        app.parse(args);
    } catch (const CLI::ParseError &e) {
        error = "[" + analyzer.name + "]: " + e.what();
        return false;
    }
    if (analyzer.connection.tcp.empty() == analyzer.connection.rtu.empty()) {
        error = "[" + analyzer.name + "]: give either tcp or rtu";
        return false;
    }
    COMSETT settings;
    std::string why;
    if (!toSettings(analyzer.connection, settings, why)) {
        error = "[" + analyzer.name + "] " + (analyzer.connection.tcp.empty() ? "rtu" : "tcp") + ": " + why;
        return false;
    }
    return true;
}

} // namespace

bool readFleet(const std::string &path, std::vector<FleetAnalyzer> &fleet, std::string &error)
{
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::vector<std::string> order;
    std::map<std::string, std::vector<CLI::ConfigItem>> sections;
    CLI::ConfigINI ini;
    ini.parentSeparator('\x1f'); // section names are analyzer names: dots and all
    for (CLI::ConfigItem &item : ini.from_config(file)) {
        if (item.name == "++" || item.name == "--")
            continue; // section start and end marks
        if (item.parents.empty()) {
            error = path + ": " + item.name + " outside a section";
            return false;
        }
        const std::string &section = item.parents.front();
        if (!sections.count(section))
            order.push_back(section);
        sections[section].push_back(item);
    }
    fleet.clear();
    for (const std::string &name : order) {
        FleetAnalyzer analyzer;
        analyzer.name = name;
        if (!parseSection(analyzer, sections[name], error)) {
            error = path + " " + error;
            return false;
        }
        fleet.push_back(analyzer);
    }
    if (fleet.empty()) {
        error = path + ": no analyzers";
        return false;
    }
    return true;
}

std::vector<std::vector<const FleetAnalyzer *>> groupByLink(const std::vector<FleetAnalyzer> &fleet)
{
    std::vector<std::vector<const FleetAnalyzer *>> groups;
    std::map<std::string, size_t> byLink;
    for (const FleetAnalyzer &analyzer : fleet) {
        COMSETT settings;
        std::string ignored;
        toSettings(analyzer.connection, settings, ignored);
        const std::string link = settings.mode == LinkMode::Rtu
                                     ? "rtu " + settings.comPort
                                     : "tcp " + settings.host + ":" + std::to_string(settings.tcpPort);
        const auto [at, added] = byLink.emplace(link, groups.size());
        if (added)
            groups.emplace_back();
        groups[at->second].push_back(&analyzer);
    }
    return groups;
}
