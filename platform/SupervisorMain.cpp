#include "platform/ServiceSupervision.h"

int main(int argc, char** argv) { return zov::RunSupervisor(argc, argv); }
