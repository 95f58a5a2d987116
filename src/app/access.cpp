#include "app/access.h"

#include <gtk/gtk.h>

#include "bank/glib_ptr.h"
#include "bank/markup.h"

// What a screen reader is given crosses D-Bus, which aborts the program on
// a string that isn't UTF-8: an exam's texts and names may not be.
static std::string valid_utf8(const char *text)
{
    return gchar_ptr(g_utf8_make_valid(text, -1)).get();
}

void access_name(GtkWidget *widget, const char *name, const char *description)
{
    AtkObject *acc = gtk_widget_get_accessible(widget);
    if (name)
        atk_object_set_name(acc, valid_utf8(name).c_str());
    if (description)
        atk_object_set_description(acc, valid_utf8(description).c_str());
}

void access_labelled_by(GtkWidget *widget, GtkWidget *label)
{
    AtkObject *acc = gtk_widget_get_accessible(widget);
    AtkObject *label_acc = gtk_widget_get_accessible(label);
    atk_object_add_relationship(acc, ATK_RELATION_LABELLED_BY, label_acc);
    atk_object_add_relationship(label_acc, ATK_RELATION_LABEL_FOR, acc);
    if (GTK_IS_LABEL(label))
        atk_object_set_name(acc, gtk_label_get_text(GTK_LABEL(label)));
}

// "focus" of the first shown member: while the hidden member is active the
// group would refuse focus on every shown one, so this one takes it.
static gboolean let_focus_in(GtkWidget *first, GtkDirectionType, gpointer hidden)
{
    if (gtk_widget_is_focus(first) || !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(hidden)))
        return FALSE;
    gtk_widget_grab_focus(first);
    return TRUE;
}

void access_radio_group(GtkWidget *hidden, GtkWidget *const *shown, int count)
{
    if (hidden) {
        gtk_widget_set_can_focus(hidden, FALSE);
        if (count > 0)
            g_signal_connect(shown[0], "focus", G_CALLBACK(let_focus_in), hidden);
    }
    // The toolkit's accessible radio button builds its "member of" from the
    // whole group when first asked, and first drops the one it had, which
    // it expects to be there. So each gets the group as it is shown, is
    // asked once now that the group is complete, and loses the hidden one.
    for (int i = 0; i < count; i++) {
        AtkObject *acc = gtk_widget_get_accessible(shown[i]);
        for (int j = 0; j < count; j++)
            atk_object_add_relationship(acc, ATK_RELATION_MEMBER_OF,
                                        gtk_widget_get_accessible(shown[j]));
        g_object_unref(atk_object_ref_relation_set(acc));
        if (hidden)
            atk_object_remove_relationship(acc, ATK_RELATION_MEMBER_OF,
                                           gtk_widget_get_accessible(hidden));
    }
}

std::string access_plain(const char *markup)
{
    std::string plain;
    if (!markup)
        return plain;
    if (!markup_plain_text(markup, &plain, nullptr))
        plain = markup;
    return valid_utf8(plain.c_str());
}

void access_described_by(GtkWidget *widget, const std::string &text, GtkWidget *const *by,
                         int count)
{
    AtkObject *acc = gtk_widget_get_accessible(widget);
    atk_object_set_description(acc, valid_utf8(text.c_str()).c_str());
    for (int i = 0; i < count; i++) {
        AtkObject *target = gtk_widget_get_accessible(by[i]);
        atk_object_add_relationship(acc, ATK_RELATION_DESCRIBED_BY, target);
        atk_object_add_relationship(target, ATK_RELATION_DESCRIPTION_FOR, acc);
    }
}

void access_dialog(GtkWidget *window, const std::string &text)
{
    AtkObject *acc = gtk_widget_get_accessible(window);
    atk_object_set_role(acc, ATK_ROLE_DIALOG);
    atk_object_set_description(acc, valid_utf8(text.c_str()).c_str());
}
