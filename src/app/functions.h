// Actions of the application as a whole: menu sensitivity, About box,
// countdown, choosing an exam, and the start form's option handlers.
#pragma once

typedef struct _GtkWidget GtkWidget;

void disable_exam_menus(void);
void enable_exam_menus(void);
