// vantor: the desktop program. It works in the current directory (the
// profile "Vantor.ini", "dump", the trace files) and loads the plug-ins
// from "PlugIns" beside itself.
//
// Hidden options for the screenshots and tests:
//   --actions FILE   run the lines of FILE (see action_script.h)
//   --shots DIR      where "shot" lines write their pictures
#include <QApplication>
#include <QFile>
#include <QTextStream>

#include "app/desktop/action_script.h"
#include "app/desktop/main_window.h"
#include "ui/flat_style.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Kestrun");
    ApplyFlatStyle(qapp);

    QString actionsFile, shotDir = ".";
    const QStringList arguments = QApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "--actions")
            actionsFile = arguments[++i];
        else if (arguments[i] == "--shots")
            shotDir = arguments[++i];
    }

    MainWindow window;
    window.show();
    ActionScript* script = nullptr;
    if (!actionsFile.isEmpty()) {
        QFile file(actionsFile);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            fprintf(stderr, "vantor: cannot read %s\n", qPrintable(actionsFile));
            return 2;
        }
        script = new ActionScript(&window, shotDir, &window);
        script->Add(QTextStream(&file).readAll().split('\n'));
        // The run ends when the lines do: the window closes as a user would
        // close it, and the exit status tells whether every line worked.
        QApplication::setQuitOnLastWindowClosed(false);
        QObject::connect(script, &ActionScript::finished, [script, &window] {
            for (const QString& problem : script->Problems()) {
                fprintf(stderr, "vantor: %s\n", qPrintable(problem));
            }
            window.close();
            QApplication::exit(script->Problems().isEmpty() ? 0 : 1);
        });
        script->Start();
    }
    return qapp.exec();
}
