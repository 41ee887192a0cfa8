// Written in the next commit.
