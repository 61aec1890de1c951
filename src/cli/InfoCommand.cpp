#include "cli/AnalyzerLink.h"
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/RecordSink.h"
#include "text/DeviceText.h"
#include "text/RecordFormats.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

namespace
{

struct InfoOptions {
    ConnectionOptions connection;
    bool json = false;
};

QByteArray utf8(const std::string &deviceText)
{
    return fromDevice(deviceText).toUtf8();
}

QByteArray quantityLabel(const Quantity &q)
{
    return (q.unit.isEmpty() ? q.name : q.name + QStringLiteral(" [") + q.unit + ']').toUtf8();
}

QByteArray infoText(const AnalyzerLink &a)
{
    const DEVICE_ID &id = a.identity();
    const LOG_CONFIG &config = a.configuration();
    QByteArray text;
    text += "vendor:         " + utf8(id.vendor) + '\n';
    text += "serial:         " + utf8(id.serial) + '\n';
    text += "model:          " + utf8(id.model) + '\n';
    text += "version:        " + utf8(id.version) + '\n';
    text += "CT ratio:       ";
    appendNumber(text, a.table().ctRatio());
    text += "\nVT ratio:       ";
    appendNumber(text, a.table().vtRatio());
    text += "\nlog period:     " + QByteArray::number(config.logPeriod) + " s\n";
    text += "event logging:  " + QByteArray(config.eventLogging ? "on" : "off") + '\n';
    QByteArrayList logged;
    for (const Quantity &q : logQuantities(a.table(), a.modelCode(), config.paramCodes))
        logged += quantityLabel(q);
    text += "logged:         " + logged.join(", ") + '\n';
    for (int area = 0; area < kLogAreas; ++area) {
        const QByteArray name =
            area == kEnergyArea ? QByteArray("energy log:") : "sector " + QByteArray::number(area + 1) + ':';
        text += name.leftJustified(16, ' ') + QByteArray::number(a.recordCount(area)) + " records\n";
    }
    return text;
}

QByteArray infoJson(const AnalyzerLink &a)
{
    const DEVICE_ID &id = a.identity();
    const LOG_CONFIG &config = a.configuration();
    QByteArray json = "{\"vendor\":" + jsonString(fromDevice(id.vendor));
    json += ",\"serial\":" + jsonString(fromDevice(id.serial));
    json += ",\"model\":" + jsonString(fromDevice(id.model));
    json += ",\"version\":" + jsonString(fromDevice(id.version));
    json += ",\"ct_ratio\":";
    appendNumber(json, a.table().ctRatio());
    json += ",\"vt_ratio\":";
    appendNumber(json, a.table().vtRatio());
    json += ",\"log_period\":" + QByteArray::number(config.logPeriod);
    json += ",\"event_logging\":" + QByteArray(config.eventLogging ? "true" : "false");
    json += ",\"quantities\":[";
    bool first = true;
    for (const Quantity &q : logQuantities(a.table(), a.modelCode(), config.paramCodes)) {
        json += first ? "" : ",";
        first = false;
        json += "{\"slot\":" + QByteArray::number(q.value + 1) +
                ",\"code\":" + QByteArray::number(config.paramCodes[size_t(q.value)]) +
                ",\"name\":" + jsonString(q.name) + ",\"unit\":" + jsonString(q.unit) + '}';
    }
    json += "],\"sectors\":[";
    for (int area = 0; area < kEnergyArea; ++area)
        json += (area ? "," : "") + QByteArray::number(a.recordCount(area));
    json += "],\"energy\":" + QByteArray::number(a.recordCount(kEnergyArea)) + "}\n";
    return json;
}

int runInfo(const InfoOptions &o)
{
    int status = ExitComplete;
    const std::unique_ptr<AnalyzerLink> analyzer = openAnalyzer(o.connection, "info", status);
    if (!analyzer)
        return status;
    const QByteArray text = o.json ? infoJson(*analyzer) : infoText(*analyzer);
    std::fwrite(text.data(), 1, size_t(text.size()), stdout);
    return std::fflush(stdout) == 0 ? ExitComplete : ExitIncomplete;
}

} // namespace

void addInfoCommand(CLI::App &app, int &status)
{
    auto options = std::make_shared<InfoOptions>();
    CLI::App *info = app.add_subcommand(
        "info", "Identity, transformer ratios, logging configuration and record counts of an analyzer");
    addConnectionOptions(*info, options->connection);
    info->add_flag("--json", options->json, "one JSON object instead of text");
    info->footer(kExitStatusHelp);
    info->callback([options, &status] { status = runInfo(*options); });
}
