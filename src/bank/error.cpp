#include "bank/error.h"

G_DEFINE_QUARK(trialix-error-quark, trialix_error)
G_DEFINE_QUARK(trialix-bzip2-error-quark, trialix_bzip2_error)

void trialix_set_error(GError **error, trialix_error_code code, const std::string &message)
{
    g_set_error_literal(error, TRIALIX_ERROR, code, message.c_str());
}
