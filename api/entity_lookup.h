#ifndef QIRN_API_ENTITY_LOOKUP_H
#define QIRN_API_ENTITY_LOOKUP_H

struct IdTable;

// The entry under an ID of one of the engine's tables. When there is none, logs "<kind> ID <id> does not
// exist. <the table's reason>" as the last error of script argument 1 and gives null.
void* qeApiLookup(IdTable* table, int id, const char* kind);
// The same without any message.
void* qeApiFind(IdTable* table, int id);

#endif
