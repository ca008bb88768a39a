/*
 * libcadconsumidor: the consumer registration screen of the point of sale, as a module a host loads.
 *
 * The paragraphs headed Threading, Qt, Strings and Unloading hold for every function below. Each
 * function's comment opens with a sentence saying what it does, then has paragraphs headed Arguments,
 * Returns, Errors, Threading and Example where they apply; scripts/manpages-from-header makes the
 * manual pages from them (man 3 CriaCadConsumidor).
 *
 * Threading: CriaCadConsumidor() and CadConsumidorService() run on the calling thread, which must be the
 * host's user-interface thread, and only one of their calls runs at a time. CadConsumidorFree() and
 * CadConsumidorLastError() may be called from any thread.
 *
 * Qt: when the process has no Qt application object yet, the first call creates a QApplication and
 * keeps it for the life of the process (the host's C locale is put back afterwards). A host that has
 * its own Qt application must have created a QApplication (widgets), not a QCoreApplication or a
 * QGuiApplication. With no display (neither DISPLAY nor WAYLAND_DISPLAY nor QT_QPA_PLATFORM set, or an
 * X display that does not answer) the call reports "no display" and returns 0 instead of letting Qt
 * abort the process.
 *
 * Strings: every string a host hands in or gets back (the entry points' arguments and results) is in
 * the host's code page: UTF-8, unless the host configuration says windows-1252 ([host] encoding in
 * cadcons.ini, or CADCONS_HOST_ENCODING). Bytes the code page does not define are refused, never
 * guessed at; Windows-1252 leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D undefined. The texts of
 * CadConsumidorLastError() are UTF-8 whatever the setting, as they also go to the log.
 *
 * Unloading: the module stays mapped after dlclose(): Qt keeps pointers into it (registered types,
 * strings).
 */
#ifndef CADCONSUMIDOR_H
#define CADCONSUMIDOR_H

#if defined(__GNUC__)
#define CADCONS_EXPORT __attribute__((visibility("default")))
#else
#define CADCONS_EXPORT
#endif

#ifdef __cplusplus
#include <string>
extern "C" {
#endif

/*
 * Runs one registration on the consumer registration screen.
 *
 * The screen opens modally on the calling thread; the call returns when the operator leaves or a
 * consumer has been saved.
 *
 * Arguments:
 * code, name, customer: in-out strings in the host's code page, each the address of the caller's `char*`.
 *   On entry, *code is the consumer code to open, *name the consumer name, *customer the customer code
 *   (empty: the customer of the host's parameter file). Each is a NUL-terminated string, or NULL for
 *   an empty one. The module only reads them: it never writes into, frees or keeps the caller's
 *   strings, so keep your own pointer if you must free the old string after the call.
 *
 *   On return, every one of the three that is not NULL has had *p replaced by a new string that the
 *   module allocated; free each of them with CadConsumidorFree(). Nothing is ever cut: the strings are
 *   as long as they need to be. *code and *name hold what the screen's code and name fields show at
 *   the end of the call; *customer the customer the consumer was registered under (empty after the
 *   operator left with the exit button).
 *
 *   When the call fails before the screen is shown (invalid argument, no display, a database that
 *   cannot be reached, ...) each comes back as a copy of what went in (NULL in: "" out). *p is NULL on
 *   return only when memory ran out. A text that the host's code page cannot hold (the operator typed
 *   a character Windows-1252 lacks) is not bent into "?": that argument comes back as it went in, and
 *   CadConsumidorLastError() names it, also when the call returns 1.
 * mode: "B" (the code is typed on the screen and a new consumer is always registered) or any other
 *   text; NULL counts as "".
 *
 * Returns: 1 when a consumer was saved during the call, 0 otherwise: the operator left, or the call
 * failed.
 *
 * Errors: a failure is shown to the operator when the screen can show it (else written to standard
 * error) and its text is kept for CadConsumidorLastError(). Failures include: code, name or customer
 * being a NULL `char**`, any string not valid in the host's code page, a call made while the screen of
 * another call is open, a call from a thread other than the Qt application's, no display, a database
 * that cannot be reached, memory running out. No C++ exception ever leaves this function.
 *
 * Example:
 *     // Opens consumer 42 on the screen; 1 when a consumer was saved.
 *     int registerConsumer(void) {
 *         char* code = "42"; // only read: the module hands back new strings
 *         char* name = NULL;
 *         char* customer = NULL;
 *         int saved = CriaCadConsumidor(&code, &name, &customer, "");
 *         const char* error = CadConsumidorLastError();
 *         if (saved && code && name)
 *             printf("saved consumer %s, %s\n", code, name);
 *         if (*error)
 *             fprintf(stderr, "consumer registration: %s\n", error);
 *         CadConsumidorFree(code);
 *         CadConsumidorFree(name);
 *         CadConsumidorFree(customer);
 *         return saved;
 *     }
 */
CADCONS_EXPORT int CriaCadConsumidor(char** code, char** name, char** customer, const char* mode);

/*
 * Runs one operation of the consumer data service, with no screen.
 *
 * The operations and their argument orders are the ones `cadcons-service --help` lists (getTipoVenda
 * with none, getNomeCliente with the customer code, ..., setGravaConsumidor with 38). It uses the
 * configuration check and the database connection of CriaCadConsumidor(), and may be called before,
 * between and after its calls.
 *
 * Arguments:
 * operation: the operation's name, e.g. "getTipoVenda".
 * argc, argv: its arguments, NUL-terminated strings in the host's code page ("" for an empty one);
 *   argv may be NULL when argc is 0. The module only reads them.
 * result: the address of the caller's `char*`. On success *result is a new string (free it with
 *   CadConsumidorFree()): the operation's data packet as XML, declared in the host's code page (a
 *   character that code page lacks comes as a character reference), or "true" after a save. On failure
 *   *result is NULL.
 *
 * Returns: 1 on success; 0 on failure, with the reason in CadConsumidorLastError() (also written to
 * standard error).
 *
 * Errors: an unknown operation (the text lists them), a wrong number of arguments (the text names the
 * expected ones), a NULL operation, result or argument, an argument not valid in the host's code page,
 * a wrong setting, a database that cannot be reached, the operation's own error text (a save rolls back
 * first), a call while the registration screen is open or from a thread other than the Qt
 * application's (without one: other than the thread of the first call), memory running out. No value
 * of an argument is repeated in the text. No C++ exception ever leaves this function.
 *
 * Threading: not re-entrant, like the screen: one call at a time.
 *
 * Example:
 *     // Prints the data packet of a customer; 1 on success.
 *     int printCustomer(const char* customerCode) {
 *         const char* args[] = {customerCode};
 *         char* packet = NULL;
 *         if (!CadConsumidorService("getNomeCliente", 1, args, &packet)) {
 *             fprintf(stderr, "%s\n", CadConsumidorLastError());
 *             return 0;
 *         }
 *         printf("%s\n", packet);
 *         CadConsumidorFree(packet);
 *         return 1;
 *     }
 */
CADCONS_EXPORT int CadConsumidorService(const char* operation, int argc, const char* const* argv, char** result);

/*
 * Frees a string that CriaCadConsumidor() or CadConsumidorService() handed back.
 *
 * Arguments:
 * text: the string; NULL is ignored.
 *
 * Example: see CadConsumidorService().
 */
CADCONS_EXPORT void CadConsumidorFree(char* text);

/*
 * Returns the failure of the last call made on this thread.
 *
 * Returns: the failure of the last CriaCadConsumidor() or CadConsumidorService() call made on this
 * thread, as UTF-8; "" when that call ended normally (saved, left, or the operation ran). Owned by the
 * module: valid until the next call on this thread.
 *
 * Threading: each thread has its own last failure.
 *
 * Example: see CadConsumidorService().
 */
CADCONS_EXPORT const char* CadConsumidorLastError(void);

#ifdef __cplusplus
} /* extern "C" */

namespace cadcons {

// The same call for C++ hosts: std::strings in the host's code page, changed in place as the C call
// describes (left as they were when the call fails before the screen exists). A string holding a NUL
// character is refused. Never throws.
CADCONS_EXPORT bool CriaCadConsumidor(std::string& code, std::string& name, std::string& customer,
                                      const std::string& mode) noexcept;

} // namespace cadcons
#endif

#endif /* CADCONSUMIDOR_H */
