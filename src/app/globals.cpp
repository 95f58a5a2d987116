#include "app/globals.h"

#ifdef _WIN32
#define DEFAULT_EXAMDIR "c:\\trialix\\exams"
#elif defined(TRIALIX_EXAMDIR)
#define DEFAULT_EXAMDIR TRIALIX_EXAMDIR
#else
#define DEFAULT_EXAMDIR "/usr/local/share/trialix/exams"
#endif

// The initial values, written once: the definitions and globals_reset take
// them from here.
#define DEFAULT_SAVEDIR "."
#define DEFAULT_EXAMCONFIG ".xconfig"
#define DEFAULT_PREFIX "cat"
enum {
    DEFAULT_TRAINING = 1,
    DEFAULT_ENABLE_ANSWER = 1,
    DEFAULT_ENABLE_TIMER = 0,
    DEFAULT_SECONDS = 1800,
    DEFAULT_REVIEW_MARKED = 1,
};

char examdir[PATH_SIZE] = DEFAULT_EXAMDIR;
char savedir[PATH_SIZE] = DEFAULT_SAVEDIR;
char examconfig[EXAMCONFIG_SIZE] = DEFAULT_EXAMCONFIG;
char prefix[PREFIX_SIZE] = DEFAULT_PREFIX;
std::string results_database;

int training = DEFAULT_TRAINING;
int enableAnswer = DEFAULT_ENABLE_ANSWER;
int enableTimer = DEFAULT_ENABLE_TIMER;
char examname[PATH_SIZE] = "";
char examtitle[PATH_SIZE] = "";
char username[PATH_SIZE] = "";
char savedate[PATH_SIZE] = "";
int seconds = DEFAULT_SECONDS;
int num_questions = 0;
int percentage = 0;
int passed_time = 0;
int exam_ended = 0;
question *QP = nullptr;

char reviewMarked = DEFAULT_REVIEW_MARKED;
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
    g_strlcpy(savedir, DEFAULT_SAVEDIR, sizeof savedir);
    g_strlcpy(examconfig, DEFAULT_EXAMCONFIG, sizeof examconfig);
    g_strlcpy(prefix, DEFAULT_PREFIX, sizeof prefix);
    results_database.clear();

    training = DEFAULT_TRAINING;
    enableAnswer = DEFAULT_ENABLE_ANSWER;
    enableTimer = DEFAULT_ENABLE_TIMER;
    examname[0] = examtitle[0] = username[0] = savedate[0] = '\0';
    seconds = DEFAULT_SECONDS;
    num_questions = 0;
    percentage = 0;
    passed_time = 0;
    exam_ended = 0;

    reviewMarked = DEFAULT_REVIEW_MARKED;
    reviewEmpty = reviewMarkedEmpty = reviewAll = reviewError = 0;

    main_window = box2 = statusbar = frame = bbox = nullptr;
    exammenu = exam_open = exam_save = exam_quit = nullptr;
    cb_answer = cb_timer = nullptr;
    timer_source = 0;
}
