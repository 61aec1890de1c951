#include "shell/Application.h"
#include "shell/Errors.h"
#include "shell/Startup.h"
#include "ui/TForm1.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    int result = 1;
    // An error while the windows are made is shown before the program ends.
    runGuarded(nullptr, [&] { result = runApplication([] { return std::make_unique<TForm1>(); }); });
    return result;
}
