// XXTEA block routines and the byte/word packing around them.
#pragma once
#include <cstddef>
#include <cstdint>

// Key shared with the management server; compiled in, never changes at run time.
extern const uint32_t TEAKey[4];

// XXTEA over |n| words: n > 1 enciphers, n < -1 deciphers, any other n changes nothing.
void btea(uint32_t *v, int n, const uint32_t key[4]);

// Packs byte_count bytes into word_count big-endian words; a short tail goes into the
// most significant bytes of the last word. The words must be zeroed beforehand.
void ArrayToInt(const uint8_t *bytes, size_t byte_count, uint32_t *words, size_t word_count);

// Unpacks word_count words into 4 * word_count bytes, most significant byte first.
void IntToArray(const uint32_t *words, uint8_t *bytes, size_t word_count);

// Enciphers byte_count bytes in place, padded to word_count words (4 * word_count bytes
// are written back); returns the work words.
uint32_t *encryptBlock(uint8_t *bytes, size_t byte_count, uint32_t *work, size_t word_count,
                       const uint32_t key[4]);

// Deciphers the same way; the work area comes first here. Returns the work words.
uint32_t *decryptBlock(uint32_t *work, uint8_t *bytes, size_t byte_count, size_t word_count,
                       const uint32_t key[4]);
