// VlCreateProjFromBaselineWiz: the wizard window that creates a project
// from a baseline folder step by step.
#include "ui/wizard_main.h"

int main(int argc, char** argv) { return vl::Main(argc, argv); }
