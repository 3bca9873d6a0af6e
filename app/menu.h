// The application's main routine: the banner, the menu and the selection loop.
#pragma once

int app_main(int argc, char** argv);
