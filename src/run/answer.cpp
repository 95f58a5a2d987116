#include "run/answer.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <string>

#include "app/access.h"
#include "app/fit.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/exhibit.h"
#include "bank/question.h"
#include "run/owner.h"
#include "run/exhibit_view.h"

// White on the dark green and red of the review's marks: both well above
// 4.5:1, where black on plain green was not.
static const char *result_markup(int ok)
{
    switch (ok) {
    case OK_RIGHT:
        return "Your answer was <span background=\"#1E6E1E\" foreground=\"white\"><b>  right  "
               "</b></span>";
    case OK_WRONG:
        return "Your answer was <span background=\"#B00000\" foreground=\"white\"><b>  wrong  "
               "</b></span>";
    case OK_UNANSWERED:
        return "You didn't answer yet";
    default:
        return "Wrong value in qp->OK";
    }
}

// `text` with its runs of spaces (the verdict's padding) made one.
static std::string words(const std::string &text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' || (!out.empty() && out.back() != ' '))
            out += c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// `child` in a vertical box (spacing 10, border 10).
static GtkWidget *padded(GtkWidget *child)
{
    GtkWidget *box = gtk_vbox_new(FALSE, 10);
    gtk_container_set_border_width(GTK_CONTAINER(box), 10);
    gtk_box_pack_start(GTK_BOX(box), child, TRUE, TRUE, 0);
    return box;
}

// Escape closes the window, as its button does.
static gboolean close_on_escape(GtkWidget *window, GdkEventKey *event, gpointer)
{
    if (event->keyval != GDK_Escape)
        return FALSE;
    gtk_widget_destroy(window);
    return TRUE;
}

void showAnswer(question *q)
{
    run_check(q);
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    char title[64];
    // Told apart from the main window and from each other in window lists,
    // and kept with the main window by the window manager.
    g_snprintf(title, sizeof title, "Answer for Question %d", q->number);
    gtk_window_set_title(GTK_WINDOW(window), title);
    if (main_window)
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(main_window));
    g_signal_connect(window, "key-press-event", G_CALLBACK(close_on_escape), nullptr);

    GtkWidget *explanation = gtk_label_new(nullptr);
    char text[64];
    g_snprintf(text, sizeof text, "the explanation of item %d", q->number);
    std::string shown = exhibit_strip(q->explanation);
    set_label_markup_or_text(GTK_LABEL(explanation), shown.c_str(), text);
    fit_label(explanation);
    GtkWidget *explained = with_exhibits(explanation, q->explanation, text);
    g_snprintf(text, sizeof text, "Answer for Question %d", q->number);
    GtkWidget *upper = framed(colour_panel(padded(explained), "white"), text);
    gtk_frame_set_label_align(GTK_FRAME(upper), 0.99, 0.5);

    GtkWidget *result = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(result), result_markup(q->OK));
    gtk_misc_set_alignment(GTK_MISC(result), 0.1, 0);
    GtkWidget *lower = framed(padded(result));

    GtkWidget *close = gtk_button_new_with_label(" Close Window ");
    g_signal_connect(close, "clicked", G_CALLBACK(answer_quit), window);

    // The verdict and the explanation are labels no focus reaches: the
    // window is a dialog with them as its text, and its one button reads them.
    std::string said = words(access_plain(result_markup(q->OK))) + "\n" + access_plain(shown.c_str());
    access_dialog(window, said);
    GtkWidget *texts[] = {result, explanation};
    access_described_by(close, said, texts, G_N_ELEMENTS(texts));

    // The texts scroll when they are taller than the screen; the button
    // stays in view below them.
    GtkWidget *texts_box = gtk_vbox_new(FALSE, 10);
    gtk_box_pack_start(GTK_BOX(texts_box), upper, TRUE, TRUE, 10);
    gtk_box_pack_start(GTK_BOX(texts_box), lower, TRUE, TRUE, 10);
    GtkWidget *scroller = fit_scroller(texts_box);
    GtkWidget *box = gtk_vbox_new(FALSE, 10);
    gtk_container_set_border_width(GTK_CONTAINER(box), 7);
    gtk_box_pack_start(GTK_BOX(box), scroller, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), close, FALSE, FALSE, 10);
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_widget_show_all(box);
    fit_prepare(scroller);
    gtk_widget_show(window);
}

void answer_quit(GtkWidget *, void *window)
{
    // The button is still used by whatever pressed it (the accessibility
    // layer sends it more signals once this returns): the window goes from
    // the screen now and is destroyed once the main loop is idle.
    window_close_later(GTK_WIDGET(window));
}
