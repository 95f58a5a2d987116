/* A stand-in for gettext's libintl on Windows: Trialix ships no
 * translations, so every message stays as written. GLib and GTK+ link it
 * for their own messages. */
#include "libintl.h"

#include <stddef.h>

char *gettext(const char *msgid) { return (char *)msgid; }

char *dgettext(const char *domain, const char *msgid)
{
    (void)domain;
    return (char *)msgid;
}

char *dcgettext(const char *domain, const char *msgid, int category)
{
    (void)domain;
    (void)category;
    return (char *)msgid;
}

char *ngettext(const char *msgid, const char *plural, unsigned long n)
{
    return (char *)(n == 1 ? msgid : plural);
}

char *dngettext(const char *domain, const char *msgid, const char *plural, unsigned long n)
{
    (void)domain;
    return (char *)(n == 1 ? msgid : plural);
}

char *dcngettext(const char *domain, const char *msgid, const char *plural, unsigned long n,
                 int category)
{
    (void)domain;
    (void)category;
    return (char *)(n == 1 ? msgid : plural);
}

/* The current domain is kept so that a caller reading it back gets what
 * it set, as with the real library. */
static char current_domain[256] = "messages";

char *textdomain(const char *domain)
{
    if (domain != NULL && domain[0] != '\0') {
        size_t i = 0;
        for (; domain[i] != '\0' && i + 1 < sizeof current_domain; i++)
            current_domain[i] = domain[i];
        current_domain[i] = '\0';
    }
    return current_domain;
}

char *bindtextdomain(const char *domain, const char *dirname)
{
    (void)domain;
    return (char *)dirname;
}

char *bind_textdomain_codeset(const char *domain, const char *codeset)
{
    (void)domain;
    return (char *)codeset;
}
