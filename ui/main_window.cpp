#include "ui/main_window.h"

MainWindow* currentMainWindow = nullptr;

int MainWindow::run()
{
    return 0;
}

void MainWindow::onIdle() {}
