/* Declarations of the libintl stand-in (see libintl.c). */
#ifndef TRIALIX_LIBINTL_H
#define TRIALIX_LIBINTL_H

#include <locale.h>

/* Windows has no LC_MESSAGES; gettext's own header gives it this value. */
#ifndef LC_MESSAGES
#define LC_MESSAGES 1729
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* As gettext's own header says: a translation keeps its message's format,
 * so a literal passed through these is still checked as one. */
#define INTL_FORMAT_ARG(n) __attribute__((__format_arg__(n)))

char *gettext(const char *msgid) INTL_FORMAT_ARG(1);
char *dgettext(const char *domain, const char *msgid) INTL_FORMAT_ARG(2);
char *dcgettext(const char *domain, const char *msgid, int category) INTL_FORMAT_ARG(2);
char *ngettext(const char *msgid, const char *plural, unsigned long n)
    INTL_FORMAT_ARG(1) INTL_FORMAT_ARG(2);
char *dngettext(const char *domain, const char *msgid, const char *plural, unsigned long n)
    INTL_FORMAT_ARG(2) INTL_FORMAT_ARG(3);
char *dcngettext(const char *domain, const char *msgid, const char *plural, unsigned long n,
                 int category) INTL_FORMAT_ARG(2) INTL_FORMAT_ARG(3);
char *textdomain(const char *domain);
char *bindtextdomain(const char *domain, const char *dirname);
char *bind_textdomain_codeset(const char *domain, const char *codeset);

#ifdef __cplusplus
}
#endif

#endif
