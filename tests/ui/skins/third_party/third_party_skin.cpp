// A skin module written from the resource names alone, without the skin kit:
// it carries a template and a few pictures and no code of its own.
