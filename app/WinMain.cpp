// Program entry. For now it brings up and takes down the network layer the
// mail checks will run on; the tray, the accounts and the message loop come
// with the user interface.
#include "net/MsgException.h"

#include <windows.h>
#include <winsock.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        WSADATA data;
        if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
            throw MsgException("Failed to initialize WinSock");
        if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
            WSACleanup();
            throw MsgException("Couldn't find requested WinSock version");
        }
        WSACleanup();
    } catch (MsgException& e) {
        MessageBoxA(nullptr, e.message().c_str(), "Pellmor Exception", MB_OK);
        return 1;
    }
    return 0;
}
