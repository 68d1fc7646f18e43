// mdb-reader for the scripts outside this folder, which resolve packages from their own.
export { default } from "mdb-reader";
