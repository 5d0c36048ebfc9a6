// The process entry: the command line is read before Qt exists, and Qt gets only the program's name.
#include <string>
#include <vector>

#include "app/entry/application.h"
#include "app/entry/tools.h"
#include "app/shell/logic/launch_options.h"

int main(int argc, char** argv) {
    const velmora::LaunchChoice choice = velmora::parseLaunch(std::vector<std::string>(argv, argv + argc));
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    if (choice.mode != velmora::LaunchChoice::Mode::application)
        return velmora::runTool(choice, qtArgc, qtArgv);
    return velmora::runApplication(qtArgc, qtArgv);
}
