#include "platform/inet/curl_internet.h"
#include "updater/frmGuncel.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    inet::CurlInternet internet;
    frmGuncel window(internet);
    window.show();
    return application.exec();
}
