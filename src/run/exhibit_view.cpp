#include "run/exhibit_view.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "app/access.h"
#include "app/globals.h"
#include "app/trialix.h"
#include "bank/exhibit.h"
#include "bank/glib_ptr.h"
#include "bank/text.h"

namespace {

// One image as decoded for the run: the full picture, and the last size
// it was fitted to, or why it can't be shown.
struct kept_image {
    GdkPixbuf *full = nullptr;
    GdkPixbuf *fitted = nullptr;
    int box_width = 0, box_height = 0;
    std::string problem;
};

// Keyed by the exam folder and the reference's src.
std::map<std::string, kept_image> kept;
int decodes = 0;

void forget_images()
{
    for (auto &entry : kept) {
        if (entry.second.full)
            g_object_unref(entry.second.full);
        if (entry.second.fitted)
            g_object_unref(entry.second.fitted);
    }
    kept.clear();
}

// The picture a file's bytes hold, by the format its header gave; none
// with *error set when the decoder refuses them.
GdkPixbuf *decode(const std::string &bytes, const exhibit_info &info, GError **error)
{
    decodes++;
    GdkPixbufLoader *loader =
        gdk_pixbuf_loader_new_with_type(info.format == exhibit_format::png ? "png" : "jpeg", error);
    if (!loader)
        return nullptr;
    bool written = gdk_pixbuf_loader_write(loader, (const guchar *)bytes.data(), bytes.size(), error);
    // Closed in any case, its error wanted only when writing went well.
    bool closed = gdk_pixbuf_loader_close(loader, written ? error : nullptr);
    GdkPixbuf *pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf)
        g_object_ref(pixbuf);
    g_object_unref(loader);
    if (pixbuf && (gdk_pixbuf_get_width(pixbuf) != info.width || gdk_pixbuf_get_height(pixbuf) != info.height)) {
        g_object_unref(pixbuf);
        pixbuf = nullptr;
    }
    if (!pixbuf && error && !*error)
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "the image doesn't decode");
    return pixbuf;
}

// The kept image for a reference, decoded on first sight.
// What the full pictures kept may take together: a run of large images
// keeps the last ones decoded, and decodes an earlier one again when it
// comes back.
size_t kept_bytes = 256u << 20;

size_t pixbuf_bytes(const GdkPixbuf *p)
{
    return p ? (size_t)gdk_pixbuf_get_rowstride(p) * (size_t)gdk_pixbuf_get_height(p) : 0;
}

void keep_within_budget(const kept_image &current)
{
    size_t total = 0;
    for (const auto &entry : kept)
        total += pixbuf_bytes(entry.second.full);
    for (auto &entry : kept) {
        kept_image &other = entry.second;
        if (total <= kept_bytes)
            break;
        if (&other == &current || !other.full)
            continue;
        total -= pixbuf_bytes(other.full);
        g_object_unref(other.full);
        other.full = nullptr;
        if (other.fitted)
            g_object_unref(other.fitted);
        other.fitted = nullptr;
    }
}

kept_image &image_for(const std::string &src, const char *what)
{
    std::optional<std::string> exam = join_path(examdir, examname, nullptr);
    std::string dir = exam ? *exam : std::string();
    std::string key = dir + '\n' + src;
    auto found = kept.find(key);
    if (found != kept.end() && (found->second.full || !found->second.problem.empty()))
        return found->second;
    kept_image &image = kept[key];
    gerror_ptr why;
    std::optional<std::string> path = exhibit_path(dir.c_str(), src, out_error(why));
    std::string bytes;
    exhibit_info info;
    if (path && exhibit_read(path->c_str(), &bytes, &info, out_error(why)))
        image.full = decode(bytes, info, out_error(why));
    if (!image.full) {
        image.problem = why ? why->message : "not shown";
        fprintf(stderr, "The image %s of %s is not shown: %s\n", src.c_str(), what, image.problem.c_str());
    }
    keep_within_budget(image);
    return image;
}

// The picture fitted into the box: scaled down with its aspect kept, never up.
GdkPixbuf *fitted(kept_image &image, int box_width, int box_height)
{
    int w = gdk_pixbuf_get_width(image.full), h = gdk_pixbuf_get_height(image.full);
    if (w <= box_width && h <= box_height)
        return image.full;
    if (image.fitted && image.box_width == box_width && image.box_height == box_height)
        return image.fitted;
    double scale = std::min((double)box_width / w, (double)box_height / h);
    int fw = std::max(1, (int)(w * scale)), fh = std::max(1, (int)(h * scale));
    if (image.fitted)
        g_object_unref(image.fitted);
    image.fitted = gdk_pixbuf_scale_simple(image.full, fw, fh, GDK_INTERP_BILINEAR);
    image.box_width = box_width;
    image.box_height = box_height;
    return image.fitted ? image.fitted : image.full;
}

gboolean close_on_escape(GtkWidget *window, GdkEventKey *event, gpointer)
{
    if (event->keyval != GDK_Escape)
        return FALSE;
    gtk_widget_destroy(window);
    return TRUE;
}

void close_clicked(GtkWidget *, void *window)
{
    window_close_later(GTK_WIDGET(window));
}

void name_image(GtkWidget *image, const char *alt)
{
    AtkObject *accessible = gtk_widget_get_accessible(image);
    atk_object_set_name(accessible, alt);
    atk_object_set_role(accessible, ATK_ROLE_IMAGE);
    if (ATK_IS_IMAGE(accessible))
        atk_image_set_image_description(ATK_IMAGE(accessible), alt);
}

// The picture at its own size, in a scrollable window of its own that
// Escape closes. `holder` carries the picture and its alternative text.
void show_full_size(GtkWidget *holder)
{
    GdkPixbuf *full = GDK_PIXBUF(g_object_get_data(G_OBJECT(holder), "exhibit-full"));
    const char *alt = (const char *)g_object_get_data(G_OBJECT(holder), "exhibit-alt");
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gchar_ptr cut(g_utf8_substring(alt, 0, std::min(g_utf8_strlen(alt, -1), 60L)));
    std::string title = std::string("Image: ") + cut.get();
    gtk_window_set_title(GTK_WINDOW(window), title.c_str());
    if (main_window)
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(main_window));
    g_signal_connect(window, "key-press-event", G_CALLBACK(close_on_escape), nullptr);

    GtkWidget *image = gtk_image_new_from_pixbuf(full);
    name_image(image, alt);
    GtkWidget *scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(scrolled), image);

    GtkWidget *close = gtk_button_new_with_label(" Close Image ");
    g_signal_connect(close, "clicked", G_CALLBACK(close_clicked), window);
    GtkWidget *box = gtk_vbox_new(FALSE, 7);
    gtk_container_set_border_width(GTK_CONTAINER(box), 7);
    gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 0);
    GtkWidget *bar = gtk_hbutton_box_new();
    gtk_box_pack_start(GTK_BOX(bar), close, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);

    // As large as the picture, within nine tenths of the screen.
    GdkScreen *screen = gtk_widget_get_screen(window);
    int w = std::min(gdk_pixbuf_get_width(full) + 40, gdk_screen_get_width(screen) * 9 / 10);
    int h = std::min(gdk_pixbuf_get_height(full) + 80, gdk_screen_get_height(screen) * 9 / 10);
    gtk_window_set_default_size(GTK_WINDOW(window), w, h);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(close);
}

void full_size_clicked(GtkWidget *, void *holder)
{
    show_full_size(GTK_WIDGET(holder));
}

gboolean image_pressed(GtkWidget *holder, GdkEventButton *event, gpointer)
{
    if (event->button != 1 || event->type != GDK_BUTTON_PRESS)
        return FALSE;
    show_full_size(holder);
    return TRUE;
}

// An image shown: fitted, clickable, with its button under it.
GtkWidget *shown_image(kept_image &kept_one, const exhibit_ref &ref)
{
    int box_width, box_height;
    exhibit_fit_box(&box_width, &box_height);
    GtkWidget *image = gtk_image_new_from_pixbuf(fitted(kept_one, box_width, box_height));
    name_image(image, ref.alt.c_str());

    GtkWidget *holder = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(holder), FALSE);
    gtk_container_add(GTK_CONTAINER(holder), image);
    g_object_set_data_full(G_OBJECT(holder), "exhibit-full", g_object_ref(kept_one.full), g_object_unref);
    g_object_set_data_full(G_OBJECT(holder), "exhibit-alt", g_strdup(ref.alt.c_str()), g_free);
    g_signal_connect(holder, "button-press-event", G_CALLBACK(image_pressed), nullptr);

    GtkWidget *button = gtk_button_new_with_label(" Full Size ");
    std::string description = "Shows the image \"" + ref.alt + "\" at its full size";
    access_name(button, nullptr, description.c_str());
    g_signal_connect(button, "clicked", G_CALLBACK(full_size_clicked), holder);
    GtkWidget *button_line = gtk_hbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(button_line), button, TRUE, FALSE, 0);

    GtkWidget *box = gtk_vbox_new(FALSE, 4);
    gtk_box_pack_start(GTK_BOX(box), holder, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), button_line, FALSE, FALSE, 0);
    return box;
}

// An image that can't be shown: what it shows, said in words in a frame.
GtkWidget *image_in_words(const exhibit_ref &ref)
{
    GtkWidget *label = gtk_label_new(exhibit_has_alt(ref) ? ref.alt.c_str() : ref.src.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_misc_set_padding(GTK_MISC(label), 10, 10);
    GtkWidget *frame = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_ETCHED_IN);
    gtk_container_add(GTK_CONTAINER(frame), label);
    return frame;
}

} // namespace

void exhibit_fit_box(int *width, int *height)
{
    // Before the first screen the content area has no size yet: the main
    // window's first size stands for it.
    GtkAllocation area = {0, 0, 640, 430};
    if (box2 && gtk_widget_get_realized(box2)) {
        gtk_widget_get_allocation(box2, &area);
        if (area.width < 100 || area.height < 100)
            area = {0, 0, 640, 430};
    }
    *width = std::max(16, area.width - 80);
    *height = std::max(16, area.height * 2 / 5);
}

GtkWidget *with_exhibits(GtkWidget *text_widget, const char *text, const char *what)
{
    std::vector<exhibit_ref> refs = exhibit_refs(text);
    if (refs.empty())
        return text_widget;
    GtkWidget *box = gtk_vbox_new(FALSE, 7);
    gtk_box_pack_start(GTK_BOX(box), text_widget, TRUE, TRUE, 0);
    for (const exhibit_ref &ref : refs) {
        kept_image &image = image_for(ref.src, what);
        gtk_box_pack_start(GTK_BOX(box), image.full ? shown_image(image, ref) : image_in_words(ref), FALSE,
                           FALSE, 0);
    }
    return box;
}

void exhibit_on_run(run_event event, run_record *, void *)
{
    if (event == RUN_ENDED)
        forget_images();
}

void exhibit_keep_at_most(size_t bytes)
{
    kept_bytes = bytes;
}

int exhibit_decode_count(void)
{
    return decodes;
}
