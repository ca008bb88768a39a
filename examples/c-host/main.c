/*
 * A point-of-sale host in plain C: registers one consumer through libcadconsumidor.
 *
 *   cadcons-example-c [CODE [NAME [CUSTOMER [MODE]]]]
 *
 * Prints what the call handed back and exits 0 when a consumer was saved, 1 when the operator left,
 * 2 when the call failed (the reason is printed).
 */
#include <cadconsumidor.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The strings are the host's own; the module only reads them and hands back new ones. */
static char* copy(const char* text) {
    char* out = malloc(strlen(text) + 1);
    if (out)
        strcpy(out, text);
    return out;
}

int main(int argc, char** argv) {
    char* mine[3];
    char* code;
    char* name;
    char* customer;
    const char* mode = argc > 4 ? argv[4] : "";
    const char* error;
    int saved;
    int i;

    for (i = 0; i < 3; ++i) {
        mine[i] = copy(argc > i + 1 ? argv[i + 1] : "");
        if (!mine[i]) {
            fputs("out of memory\n", stderr);
            return 2;
        }
    }
    code = mine[0];
    name = mine[1];
    customer = mine[2];

    saved = CriaCadConsumidor(&code, &name, &customer, mode);
    error = CadConsumidorLastError();

    printf("saved=%d\ncode=%s\nname=%s\ncustomer=%s\n", saved, code ? code : "", name ? name : "",
           customer ? customer : "");
    if (error && *error)
        printf("error=%s\n", error);

    /* Ours are freed by us, the module's by the module. */
    for (i = 0; i < 3; ++i)
        free(mine[i]);
    CadConsumidorFree(code);
    CadConsumidorFree(name);
    CadConsumidorFree(customer);

    if (saved)
        return 0;
    return error && *error ? 2 : 1;
}
