#include "app/globals.h"

#ifdef _WIN32
#define DEFAULT_EXAMDIR "c:\\trialix\\exams"
#elif defined(TRIALIX_EXAMDIR)
#define DEFAULT_EXAMDIR TRIALIX_EXAMDIR
#else
#define DEFAULT_EXAMDIR "/usr/local/share/trialix/exams"
#endif

char examdir[PATH_SIZE] = DEFAULT_EXAMDIR;
char savedir[PATH_SIZE] = ".";
char examconfig[EXAMCONFIG_SIZE] = ".xconfig";
char prefix[PREFIX_SIZE] = "cat";

int training = 1;
int enableAnswer = 1;
int enableTimer = 0;
char examname[PATH_SIZE] = "";
char examtitle[PATH_SIZE] = "";
char username[PATH_SIZE] = "";
char savedate[PATH_SIZE] = "";
int seconds = 1800;
int num_questions = 0;
int percentage = 0;
int passed_time = 0;
int exam_ended = 0;
question *QP = nullptr;

char reviewMarked = 1;
char reviewEmpty = 0;
char reviewMarkedEmpty = 0;
char reviewAll = 0;
char reviewError = 0;

GtkWidget *main_window = nullptr;
GtkWidget *box2 = nullptr;
GtkWidget *statusbar = nullptr;
GtkWidget *frame = nullptr;
GtkWidget *bbox = nullptr;
GtkWidget *exammenu = nullptr;
GtkWidget *exam_open = nullptr;
GtkWidget *exam_save = nullptr;
GtkWidget *exam_quit = nullptr;
GtkWidget *cb_answer = nullptr;
GtkWidget *cb_timer = nullptr;

guint timer_source = 0;

void globals_reset(void)
{
    g_strlcpy(examdir, DEFAULT_EXAMDIR, sizeof examdir);
    g_strlcpy(savedir, ".", sizeof savedir);
    g_strlcpy(examconfig, ".xconfig", sizeof examconfig);
    g_strlcpy(prefix, "cat", sizeof prefix);

    training = 1;
    enableAnswer = 1;
    enableTimer = 0;
    examname[0] = examtitle[0] = username[0] = savedate[0] = '\0';
    seconds = 1800;
    num_questions = 0;
    percentage = 0;
    passed_time = 0;
    exam_ended = 0;
    QP = nullptr;

    reviewMarked = 1;
    reviewEmpty = reviewMarkedEmpty = reviewAll = reviewError = 0;

    main_window = box2 = statusbar = frame = bbox = nullptr;
    exammenu = exam_open = exam_save = exam_quit = nullptr;
    cb_answer = cb_timer = nullptr;
    timer_source = 0;
}
