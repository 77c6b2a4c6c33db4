#include "app/CommandLine.h"
#include "app/Detector.h"
#include "app/DisplayChoice.h"
#include "app/RealSeams.h"
#include "engine/GatewayEngine.h"
#include "link/Clock.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (const std::optional<int> code = AnswerHelpOrVersion(argc, argv)) return *code;

    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const DisplayChoice choice = ChooseDisplay(CurrentDisplayEnvironment(), arguments);
    if (const std::optional<QString> refusal = RefusalText(choice)) {
        std::fprintf(stderr, "%s\n", qPrintable(*refusal));
        return 1;
    }

    ApplicationArguments appArguments(argc, argv, choice);
    VarnexApplication app(appArguments.argc(), appArguments.argv());
    QtPrompts prompts;
    DesktopPlatform platform;
    SystemClock clock;
    Services services;
    services.prompts = &prompts;
    services.platform = &platform;
    services.clock = &clock;
    GatewayEngine engine(clock);
    services.engine = &engine;
    return Detector(app, services);
}
