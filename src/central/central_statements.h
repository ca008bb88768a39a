#pragma once

// The fixed statement texts of the central services. Parameters are :NAME. The consumer columns are
// listed in the order of consumerColumns().
namespace cadcons::central_sql {

// Local: the consumers waiting for publication, and one consumer by key.
extern const char* const pendingConsumers;
extern const char* const localConsumer;
// Local: marks a published consumer that is still as it was read; the second text for a row without
// a time of change.
extern const char* const markPublished;
extern const char* const markPublishedNoTime;
// Local: every consumer with the columns of the record statement but the passwords and fingerprints.
extern const char* const consumerFile;

// Central: whether a consumer is there, its insert and update (both mark it "S"), its till password.
extern const char* const centralExists;
extern const char* const centralInsert;
extern const char* const centralUpdate;
extern const char* const centralUpdateSenha;

} // namespace cadcons::central_sql
