/*
 * A point-of-sale host in plain C: reads the sale types through libcadconsumidor's data service, then
 * registers one consumer on its screen.
 *
 *   cadcons-example-c [CODE [NAME [CUSTOMER [MODE]]]]
 *   cadcons-example-c --service OPERATION [ARG...]
 *
 * The first form prints the number of sale types, then what the call handed back, and exits 0 when a
 * consumer was saved, 1 when the operator left, 2 when a call failed (the reason is printed).
 * The second runs one operation of the data service (as cadcons-service --help lists them), prints its
 * result (a data packet as XML, or "true" after a save) and exits 0, or prints the reason and exits 2.
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

static int service(const char* operation, int argc, const char* const* argv) {
    char* result = NULL;
    if (!CadConsumidorService(operation, argc, argv, &result)) {
        printf("error=%s\n", CadConsumidorLastError());
        return 2;
    }
    printf("%s\n", result);
    CadConsumidorFree(result);
    return 0;
}

/* One ROW element per sale type in the packet. */
static int saleTypes(void) {
    char* packet = NULL;
    const char* row;
    int count = 0;
    if (!CadConsumidorService("getTipoVenda", 0, NULL, &packet))
        return -1;
    for (row = strstr(packet, "<ROW "); row; row = strstr(row + 1, "<ROW "))
        ++count;
    CadConsumidorFree(packet);
    return count;
}

int main(int argc, char** argv) {
    char* mine[3];
    char* code;
    char* name;
    char* customer;
    const char* mode = argc > 4 ? argv[4] : "";
    const char* error;
    int saved;
    int types;
    int i;

    if (argc > 2 && strcmp(argv[1], "--service") == 0)
        return service(argv[2], argc - 3, (const char* const*)(argv + 3));

    types = saleTypes();
    if (types < 0) {
        printf("error=%s\n", CadConsumidorLastError());
        return 2;
    }
    printf("sale types=%d\n", types);

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
