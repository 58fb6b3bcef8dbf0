#include "ui/prompts.h"

#include "ui/qt_prompts.h"

namespace {
Prompts* g_installed = nullptr;
}

Prompts& Prompts::instance() {
    static QtPrompts qtPrompts;
    return g_installed ? *g_installed : qtPrompts;
}

void Prompts::install(Prompts* p) {
    g_installed = p;
}
