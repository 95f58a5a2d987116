#include "app/navigator.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

namespace {

screen_builder screens[SCREEN_NAMES] = {};
command_handler commands[COMMAND_NAMES] = {};
std::vector<void (*)(void)> moments[SHELL_MOMENTS];

} // namespace

void navigator_set_screen(screen_name name, screen_builder build)
{
    screens[name] = build;
}

void show_screen(screen_name name, question *item)
{
    // A screen nobody set is a program put together wrongly.
    g_return_if_fail(screens[name] != nullptr);
    screens[name](item);
}

void navigator_set_command(command_name name, command_handler handler)
{
    commands[name] = handler;
}

void menu_command(GtkWidget *item, void *name)
{
    int which = GPOINTER_TO_INT(name);
    g_return_if_fail(which >= 0 && which < COMMAND_NAMES && commands[which]);
    commands[which](item, nullptr);
}

void navigator_on(shell_moment moment, void (*action)(void))
{
    std::vector<void (*)(void)> &actions = moments[moment];
    if (std::find(actions.begin(), actions.end(), action) == actions.end())
        actions.push_back(action);
}

void shell_reached(shell_moment moment)
{
    for (void (*action)(void) : moments[moment])
        action();
}
