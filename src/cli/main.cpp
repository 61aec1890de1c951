#include "cli/Commands.h"

#include <CLI/CLI.hpp>

int main(int argc, char **argv)
{
    CLI::App app{"pullrec-cli: reads the data logs of KTR-58 analyzers over Modbus RTU or TCP."};
    app.require_subcommand(1);
    app.footer(kExitStatusHelp);
    int status = ExitUsage;
    addInfoCommand(app, status);
    addDownloadCommand(app, status);
    addCollectCommand(app, status);
    addExportCommand(app, status);
    addReportCommand(app, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return app.exit(e) == 0 ? ExitComplete : ExitUsage;
    }
    return status;
}
