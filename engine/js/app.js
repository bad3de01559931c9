// Shared script of every engine page.
var __APP = { spinner: false };
