// Draws the networking demo exam's diagram at build time: a small office
// network of two hosts, a switch and a router to the Internet, with the
// addresses the item asks about. Drawn here so that no picture file has to
// be copied into the sources.
// Usage: draw_network OUTPUT.png
#include <cairo.h>

#include <cmath>
#include <cstdio>

// M_PI is not standard C++: MinGW's strict mode has none.
static const double PI = 3.14159265358979323846;

namespace {

void label(cairo_t *cr, double x, double y, const char *text, double size, bool bold = false)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text, &e);
    cairo_move_to(cr, x - e.width / 2 - e.x_bearing, y);
    cairo_show_text(cr, text);
}

// A device: a rounded box in `r, g, b` with its name and up to two lines.
void device(cairo_t *cr, double x, double y, double w, double h, double r, double g, double b,
            const char *name, const char *line1, const char *line2 = nullptr)
{
    double radius = 10;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -PI / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, PI / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, PI / 2, PI);
    cairo_arc(cr, x + radius, y + radius, radius, PI, 3 * PI / 2);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.2);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    label(cr, x + w / 2, y + 26, name, 17, true);
    if (line1)
        label(cr, x + w / 2, y + 50, line1, 14);
    if (line2)
        label(cr, x + w / 2, y + 70, line2, 14);
}

void cable(cairo_t *cr, double x1, double y1, double x2, double y2)
{
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.25);
    cairo_set_line_width(cr, 3);
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    cairo_stroke(cr);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: draw_network OUTPUT.png\n");
        return 2;
    }
    const int width = 880, height = 400;
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t *cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    // The office subnet, shaded, and the way out.
    cairo_set_source_rgb(cr, 0.93, 0.96, 1.0);
    cairo_rectangle(cr, 20, 20, 560, 360);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.3, 0.4, 0.6);
    label(cr, 300, 365, "Office subnet 192.168.10.0/24", 15, true);

    cable(cr, 150, 110, 300, 200);
    cable(cr, 150, 290, 300, 200);
    cable(cr, 300, 200, 500, 200);
    cable(cr, 500, 200, 720, 200);
    device(cr, 40, 60, 220, 90, 1.0, 1.0, 1.0, "Host A", "192.168.10.25/24");
    device(cr, 40, 245, 220, 90, 1.0, 1.0, 1.0, "Host B", "192.168.10.26/24");
    device(cr, 250, 170, 110, 60, 0.85, 0.92, 0.85, "Switch", nullptr);
    device(cr, 420, 145, 190, 110, 1.0, 0.93, 0.8, "Router R1", "LAN 192.168.10.1", "WAN 203.0.113.6");

    // The Internet as a cloud of circles.
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.92);
    const double puffs[][3] = {{760, 200, 48}, {810, 170, 40}, {815, 228, 38}, {730, 165, 34}, {735, 238, 32}};
    for (const auto &p : puffs) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, p[0], p[1], p[2], 0, 2 * PI);
    }
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.2);
    label(cr, 775, 206, "Internet", 17, true);

    cairo_status_t status = cairo_surface_write_to_png(surface, argv[1]);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        fprintf(stderr, "draw_network: %s: %s\n", argv[1], cairo_status_to_string(status));
        return 1;
    }
    return 0;
}
