"two words"
